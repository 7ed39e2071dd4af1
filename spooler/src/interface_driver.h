// Calls from the service into a printer's interface driver (the driver's
// configuration file): the job query before a job is sent and the printer
// events. The module is loaded on first use and stays mapped, in the
// service's own process, the way the language monitors are: the driver is
// part of the installed printer, its calls are short, and it answers
// through the client API (a handle on the printer it is asked about),
// which it reaches over the service's socket like any other client. Never
// called with the service lock held.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qor::spooler {

struct JobQuery {
    bool allowed = true;
    std::string reason;  // the driver's text when it refused, else empty
};

class InterfaceDriver {
public:
    // `config_path`: the full path of the configuration file; empty or a
    // file that does not load leaves the driver unloaded.
    explicit InterfaceDriver(const std::string& config_path);
    ~InterfaceDriver();
    InterfaceDriver(const InterfaceDriver&) = delete;
    InterfaceDriver& operator=(const InterfaceDriver&) = delete;

    bool loaded() const { return module_ != nullptr; }
    // DevQueryPrintEx with a handle of `printer` and the job's device mode.
    // A driver without the entry, or a printer that cannot be opened, lets
    // the job through: the query is the driver's veto, not a gate of the
    // service's own.
    JobQuery query(const std::string& printer, const std::vector<uint8_t>& devmode);
    // DrvPrinterEvent; false with `failure` set when the driver is missing
    // the entry or reported a failure.
    bool printer_event(const std::string& printer, int event, std::string& failure);

private:
    void* entry(const char* name) const;
    void* module_ = nullptr;
};

// The drivers loaded so far, by configuration file; thread-safe. The
// modules stay loaded: a driver that pulls in large libraries is not
// mapped and unmapped again for every job.
class InterfaceDrivers {
public:
    // Never null; a file that does not load gives an unloaded driver, tried
    // again on the next call.
    std::shared_ptr<InterfaceDriver> get(const std::string& config_path);

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<InterfaceDriver>> loaded_;
};

}  // namespace qor::spooler
