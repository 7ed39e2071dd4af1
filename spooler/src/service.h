// The spooler's state and operations: the printer database, the jobs, and
// per printer a despooler thread with its monitor chain. One lock guards
// database and jobs; it is never held across a call into a monitor, since
// monitors call back into the service (through the client API) from the
// very threads that are inside them.
#pragma once

#include "database.h"
#include "device_arrivals.h"
#include "interface_driver.h"
#include "qor/security/access.h"
#include "job_ids.h"
#include "local_port_monitor.h"
#include "monitor_host.h"
#include "spool_file.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qor::spooler {

using spool::JobInfo;

// What one client connection holds: at most one open printer and one
// document being written.
struct Session {
    uint64_t id = 0;
    pid_t pid = 0;
    uid_t uid = 0;
    std::string user;
    security::Caller caller;  // uid and groups the checks use
    bool member = true;         // may use the service at all (see admission.h)
    bool administrator = true;  // may change the machine's printers, ports, ...
    // A connection of the service's own process (its monitors): trusted.
    bool internal() const;
    bool open = false;
    std::string printer;
    DWORD access = 0;
    uint32_t job = 0;
    std::vector<uint8_t> devmode;  // from OpenPrinter or ResetPrinter: the jobs it starts carry it
};

class Service {
public:
    struct Options {
        int retry_ms = 5000;  // wait before a job that failed on its port is tried again
    };
    explicit Service(Options options);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Loads the database and the spooled jobs and starts the despoolers.
    DWORD start();
    // Stops the despoolers, closes the ports and shuts the monitors down.
    void stop();
    // No job spooling, queued, printing or waiting for its monitor (kept
    // printed jobs do not count).
    bool idle();

    // Printers and their data.
    DWORD open_printer(Session& s, const std::string& name, const std::string& datatype,
                       std::vector<uint8_t> devmode, DWORD access);
    DWORD reset_printer(Session& s, std::vector<uint8_t> devmode);
    void close_printer(Session& s);
    DWORD enum_printers(DWORD flags, const std::string& name, std::vector<PrinterInfo>& out);
    DWORD get_printer(Session& s, PrinterInfo& out);
    DWORD set_printer(Session& s, DWORD level, DWORD command, DWORD status, const PrinterInfo& info);
    // `size` bounds a stored value; a monitor request gets `request_size`,
    // the caller's own buffer size.
    DWORD get_printer_data(Session& s, const std::string& name, DWORD size, DWORD request_size, DWORD& type,
                           std::vector<uint8_t>& data, DWORD& needed);
    DWORD set_printer_data(Session& s, const std::string& name, DWORD type, std::vector<uint8_t> data);

    // Documents and jobs.
    DWORD start_doc(Session& s, const std::string& document, const std::string& output, const std::string& datatype,
                    uint32_t& job_id, int& fd);
    DWORD end_doc(Session& s, uint32_t pages, bool abort);
    // `devmode` (level 2): the job's new device mode; null leaves it.
    DWORD set_job(Session& s, uint32_t job_id, DWORD command, const std::vector<uint8_t>* devmode = nullptr);
    DWORD get_job(Session& s, uint32_t job_id, JobInfo& out);
    DWORD enum_jobs(Session& s, uint32_t first, uint32_t count, std::vector<JobInfo>& out);

    // Administration.
    DWORD add_printer(Session& s, PrinterInfo info);
    DWORD delete_printer(Session& s);
    DWORD driver_directory(const std::string& environment, std::string& out);
    DWORD get_printer_driver(Session& s, const std::string& environment, DriverInfo& out);
    DWORD enum_drivers(const std::string& environment, std::vector<DriverInfo>& out);
    DWORD add_driver(DriverInfo info);
    DWORD delete_driver(const std::string& environment, const std::string& name);
    DWORD add_port(const std::string& name, const std::string& monitor);
    DWORD delete_port(const std::string& name);
    DWORD enum_ports(std::vector<PortInfo>& out);
    DWORD configure_port(const std::string& name, const std::string* device, const std::string* settings);
    DWORD add_monitor(const MonitorInfo& info);
    DWORD delete_monitor(const std::string& environment, const std::string& name);
    DWORD enum_monitors(std::vector<MonitorInfo>& out);

private:
    // Sent: its data reached the printer, the monitor's report is awaited.
    // Printed: kept after printing (the printer keeps printed jobs).
    enum class JobState { Spooling, Queued, Printing, Sent, Printed };
    struct Job {
        SpoolJob spool;
        JobState state = JobState::Spooling;
        bool cancel = false;             // stop sending; remove when the despooler lets go
        bool last_page_ejected = false;  // set by the monitor side
        bool completed = false;          // ejected and then cancelled: printed
        bool paused = false;
        bool error = false;
        // The last attempt failed: the monitor's reports of it (ejected, then
        // cancelled) do not mean the job was printed. Until the next attempt.
        bool reports_void = false;
        bool void_ejection = false;  // such an ejection came; its cancel follows
        uint64_t session = 0;
        int fd = -1;  // the service's descriptor of the data file while spooling
        // Refused by the printer's interface driver: waits, and later jobs
        // pass it, until its device mode or its printer's settings change.
        bool blocked = false;
        std::string blocked_reason;
        uint64_t devmode_changes = 0;  // a query's answer is void once this moved on
    };
    using JobPtr = std::shared_ptr<Job>;

    // A printer at run time: its despooler and its monitor chain.
    struct Runtime {
        std::string name;
        DWORD status = 0;  // condition word set with PRINTER_CONTROL_SET_STATUS
        // Its port could not be opened, written or drained; shown as
        // PRINTER_STATUS_NOT_AVAILABLE over the monitor's word until data
        // goes through again.
        bool not_answering = false;
        // The printer may hold part of a job that was not sent whole: the
        // next attempt brings it to a known state first.
        bool needs_recovery = false;
        bool stopping = false;
        uint64_t settings_changes = 0;  // printer data or settings; voids a query's answer
        std::chrono::steady_clock::time_point retry_at{};
        // The device its port stands for, missing: its return ends the wait
        // for the next attempt.
        std::string awaited_device;
        std::condition_variable wake;
        std::thread thread;
        std::mutex chain_mutex;  // taken without the service lock held
        std::shared_ptr<MonitorChain> chain;
    };
    using RuntimePtr = std::shared_ptr<Runtime>;

    // Lock held.
    const Printer* session_printer(const Session& s, DWORD& error) const;
    RuntimePtr runtime(const std::string& name) const;
    void start_runtime(const std::string& name);
    void retire_runtime(const std::string& name);
    JobPtr find_job(uint32_t id) const;
    void remove_job(const JobPtr& job);
    void cancel_job(const JobPtr& job);
    PrinterInfo report(const Printer& p) const;
    JobInfo report(const Job& job, uint32_t position) const;
    uint32_t jobs_of(const std::string& printer) const;
    JobPtr next_job(const Runtime& rt) const;
    bool keeps_printed(const std::string& printer) const;
    // The job was printed: kept or removed as its printer says.
    void finish_printed(const JobPtr& job);
    void save_header(const JobPtr& job);
    // The full path of the printer's interface driver; empty when it has none.
    std::string config_file_of(const std::string& printer) const;
    // The printer's settings changed: its refused jobs are asked again.
    void settings_changed(const std::string& printer);

    // One attempt at sending a job.
    struct Attempt {
        DWORD error = 0;           // it could not start, or its printer was lost
        bool interrupted = false;  // it began and did not end: part may be at the printer
    };

    // Lock not held.
    std::shared_ptr<MonitorChain> chain_for(const RuntimePtr& rt, DWORD& error);
    void drop_chain(const RuntimePtr& rt);
    void despool(RuntimePtr rt);
    // Asks the printer's interface driver whether the job may print; false
    // when it was refused (and marked so) or must be asked again.
    bool driver_allows(const RuntimePtr& rt, const JobPtr& job);
    // A printer event to the printer's driver; failures are logged.
    void printer_event(const std::string& printer, const std::string& config_file, int event);
    Attempt send_job(const RuntimePtr& rt, const JobPtr& job);
    DWORD push(const RuntimePtr& rt, const JobPtr& job, MonitorChain& chain, const uint8_t* data, size_t size,
               bool& stopped);
    void begin_attempt(const JobPtr& job);
    void end_attempt_unfinished(const RuntimePtr& rt, const JobPtr& job, MonitorChain& chain, DWORD error);
    void note_answer(const RuntimePtr& rt, bool answering);
    // Lock held: waits for the printer's device to come back when it is away.
    void await_device(const RuntimePtr& rt);
    // Lock not held: a device came back; its printers try again now.
    void device_back(const std::string& path);
    bool should_stop_sending(const RuntimePtr& rt, const JobPtr& job);

    Options options_;
    mutable std::mutex mutex_;
    Database db_;
    std::map<uint32_t, JobPtr> jobs_;
    JobIds job_ids_;
    std::map<std::string, RuntimePtr, CaseLess> runtimes_;
    std::vector<RuntimePtr> retired_;
    LocalPortMonitor port_monitor_;
    LanguageMonitors language_monitors_;
    InterfaceDrivers interface_drivers_;
    bool started_ = false;
    DeviceArrivals arrivals_;  // its thread calls back into the service: last
};

}  // namespace qor::spooler
