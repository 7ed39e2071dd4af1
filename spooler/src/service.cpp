// Service lifetime, printers, printer data and administration.
#include "service.h"
#include "job_devmode.h"
#include "printer_security.h"

#include "qor/ddiui.h"
#include "qor/registry.h"
#include "qor/support/places.h"
#include "qor/ui/shared_broadcast.h"
#include "qor/ui/window_directory.h"

#include <algorithm>
#include <unistd.h>

namespace qor::spooler {

bool Session::internal() const { return pid == getpid(); }

Service::Service(Options options)
    : options_(options), port_monitor_([this](const std::string& name, PortConfig& config) {
          std::lock_guard lock(mutex_);
          const PortInfo* p = db_.port(name);
          if (!p) return false;
          config.device = p->device;
          config.settings = p->settings;
          return true;
      }),
      arrivals_([this](const std::string& path) { device_back(path); }) {}

Service::~Service() { stop(); }

DWORD Service::start() {
    std::lock_guard lock(mutex_);
    if (DWORD e = db_.load()) return e;
    uint32_t highest = 0;
    std::vector<std::string> interrupted;
    for (auto& sj : scan_spool_folder()) {
        highest = std::max(highest, sj.id);
        if (!db_.printer(sj.printer)) {
            remove_spool_files(sj.id);
            continue;
        }
        auto job = std::make_shared<Job>();
        job->spool = std::move(sj);
        job->state = JobState::Queued;
        jobs_[job->spool.id] = job;
        // Data that reached the printer counts as printed.
        if (job->spool.flags & (kSpoolSent | kSpoolPrinted)) {
            finish_printed(job);
        } else if (job->spool.flags & kSpoolStarted) {
            interrupted.push_back(job->spool.printer);
            // An attempt the service did not live to end: a crash.
            if (job->spool.interruptions < job->spool.attempts) {
                record_interruption(job->spool, 0);
                save_header(job);
            }
        }
    }
    job_ids_.load(highest);
    for (const auto& [name, p] : db_.printers()) start_runtime(p.info.name);
    for (const auto& printer : interrupted)
        if (auto rt = runtime(printer)) rt->needs_recovery = true;
    started_ = true;
    return 0;
}

void Service::stop() {
    arrivals_.stop();
    std::vector<RuntimePtr> all;
    {
        std::lock_guard lock(mutex_);
        if (!started_) return;
        started_ = false;
        for (auto& [name, rt] : runtimes_) {
            rt->stopping = true;
            rt->wake.notify_all();
            all.push_back(rt);
        }
        runtimes_.clear();
        all.insert(all.end(), retired_.begin(), retired_.end());
        retired_.clear();
    }
    for (auto& rt : all)
        if (rt->thread.joinable()) rt->thread.join();
    for (auto& rt : all) drop_chain(rt);
    language_monitors_.shutdown_all();
    std::lock_guard lock(mutex_);
    // Unfinished documents die with their connections; keep complete jobs.
    for (auto& [id, job] : jobs_)
        if (job->fd >= 0) close(job->fd), job->fd = -1;
}

bool Service::idle() {
    std::lock_guard lock(mutex_);
    return std::all_of(jobs_.begin(), jobs_.end(), [](const auto& j) { return j.second->state == JobState::Printed; });
}

void Service::start_runtime(const std::string& name) {
    auto rt = std::make_shared<Runtime>();
    rt->name = name;
    runtimes_[name] = rt;
    rt->thread = std::thread([this, rt] { despool(rt); });
}

// The despooler may be inside a monitor call; it is joined at stop.
void Service::retire_runtime(const std::string& name) {
    auto it = runtimes_.find(name);
    if (it == runtimes_.end()) return;
    it->second->stopping = true;
    it->second->wake.notify_all();
    retired_.push_back(it->second);
    runtimes_.erase(it);
}

Service::RuntimePtr Service::runtime(const std::string& name) const {
    auto it = runtimes_.find(name);
    return it == runtimes_.end() ? nullptr : it->second;
}

const Printer* Service::session_printer(const Session& s, DWORD& error) const {
    if (!s.open) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    const Printer* p = db_.printer(s.printer);
    error = p ? 0 : ERROR_PRINTER_DELETED;
    return p;
}

uint32_t Service::jobs_of(const std::string& printer) const {
    uint32_t n = 0;
    for (const auto& [id, job] : jobs_) n += same_name(job->spool.printer, printer);
    return n;
}

PrinterInfo Service::report(const Printer& p) const {
    PrinterInfo info = p.info;
    if (auto rt = runtime(p.info.name)) info.status |= rt->status | (rt->not_answering ? PRINTER_STATUS_NOT_AVAILABLE : 0);
    info.jobs = jobs_of(p.info.name);
    return info;
}

std::shared_ptr<MonitorChain> Service::chain_for(const RuntimePtr& rt, DWORD& error) {
    std::lock_guard chain_lock(rt->chain_mutex);
    if (rt->chain) return rt->chain;
    std::string port, module;
    {
        std::lock_guard lock(mutex_);
        const Printer* p = db_.printer(rt->name);
        if (!p) {
            error = ERROR_PRINTER_DELETED;
            return nullptr;
        }
        port = p->info.port;
        if (const DriverInfo* d = db_.driver(p->info.driver); d && !d->monitor.empty()) {
            const MonitorInfo* m = db_.monitor(d->monitor);
            if (!m) {
                error = ERROR_UNKNOWN_PRINT_MONITOR;
                return nullptr;
            }
            module = m->module;
        }
    }
    const LoadedMonitor* lm = nullptr;
    if (!module.empty() && !(lm = language_monitors_.load(module))) {
        error = GetLastError();
        return nullptr;
    }
    rt->chain = MonitorChain::open(port_monitor_, lm, rt->name, port, error);
    return rt->chain;
}

void Service::drop_chain(const RuntimePtr& rt) {
    std::shared_ptr<MonitorChain> old;
    {
        std::lock_guard chain_lock(rt->chain_mutex);
        old.swap(rt->chain);
    }
    // The port closes when the last user lets go, outside every lock.
}

DWORD Service::open_printer(Session& s, const std::string& name, const std::string& datatype,
                            std::vector<uint8_t> devmode, DWORD access) {
    std::lock_guard lock(mutex_);
    const Printer* p = db_.printer(name);
    if (!p) return ERROR_INVALID_PRINTER_NAME;
    if (!datatype.empty() && !same_name(datatype, "RAW")) return ERROR_INVALID_DATATYPE;
    if (!devmode_acceptable(devmode)) return ERROR_INVALID_PARAMETER;
    DWORD granted = s.internal() ? (access ? access : PRINTER_ACCESS_USE) : open_access(p->info, s.caller, access);
    if (!granted) return ERROR_ACCESS_DENIED;
    s.open = true;
    s.printer = p->info.name;
    s.access = granted;
    s.devmode = std::move(devmode);
    return 0;
}

DWORD Service::reset_printer(Session& s, std::vector<uint8_t> devmode) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    if (!session_printer(s, e)) return e;
    if (!devmode_acceptable(devmode)) return ERROR_INVALID_PARAMETER;
    s.devmode = std::move(devmode);
    return 0;
}

void Service::close_printer(Session& s) {
    std::lock_guard lock(mutex_);
    if (s.job)
        if (auto job = find_job(s.job)) remove_job(job);
    s.job = 0;
    s.open = false;
    s.devmode.clear();
}

DWORD Service::enum_printers(DWORD flags, const std::string& name, std::vector<PrinterInfo>& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    if ((flags & PRINTER_ENUM_NAME) && !name.empty()) return ERROR_INVALID_NAME;
    bool all = flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME);
    bool defaults = flags & PRINTER_ENUM_DEFAULT;
    for (const auto& [n, p] : db_.printers())
        if (all || (defaults && (p.info.attributes & PRINTER_ATTRIBUTE_DEFAULT))) out.push_back(report(p));
    return 0;
}

DWORD Service::get_printer(Session& s, PrinterInfo& out) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    out = report(*p);
    return 0;
}

namespace {

// Programs with windows follow printer changes through WM_SETTINGCHANGE
// "devices", as they would on the platform; the service itself has no
// windows and posts through the window directory. The system spooler
// reaches its members' programs through the shared folder as well.
void announce_printer_change() {
    constexpr uint32_t kSettingChange = 0x001A;
    qor::windir::broadcast(kSettingChange, 0, u"devices");
    if (qor::places::system_mode()) qor::windir::broadcast_shared(u"devices");
}

}  // namespace

DWORD Service::set_printer(Session& s, DWORD level, DWORD command, DWORD status, const PrinterInfo& info) {
    RuntimePtr changed;
    DWORD result = 0;
    {
        std::lock_guard lock(mutex_);
        DWORD e = 0;
        const Printer* p = session_printer(s, e);
        if (!p) return e;
        std::string name = p->info.name;
        RuntimePtr rt = runtime(name);
        bool manages = level != 0 || command == PRINTER_CONTROL_PURGE || command == PRINTER_CONTROL_PAUSE ||
                       command == PRINTER_CONTROL_RESUME;
        if (manages && !s.internal() && !(s.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
        if (level == 3) {
            security::Bytes merged = security::merged_descriptor(printer_descriptor(p->info), info.security);
            if (merged.empty()) return ERROR_INVALID_SECURITY_DESCR;
            if ((e = db_.set_security(name, std::move(merged)))) return e;
        } else if (level == 2 || level == 5) {
            std::string old_port = p->info.port, old_driver = p->info.driver;
            if ((e = db_.update_printer(name, info, level))) return e;
            const Printer* now = db_.printer(name);
            if (!same_name(now->info.port, old_port) || !same_name(now->info.driver, old_driver)) {
                changed = rt;
                if (rt) rt->not_answering = false;  // nothing is known of the new chain yet
            }
        } else if (level != 0) {
            return ERROR_INVALID_LEVEL;
        }
        switch (command) {
        case 0:
            if (level == 0) return ERROR_INVALID_PARAMETER;
            break;
        case PRINTER_CONTROL_SET_STATUS:
            if (rt) rt->status = status;
            break;
        case PRINTER_CONTROL_PURGE:
            for (auto it = jobs_.begin(); it != jobs_.end();) {
                auto job = (it++)->second;
                if (same_name(job->spool.printer, name)) cancel_job(job);
            }
            break;
        case PRINTER_CONTROL_PAUSE:
        case PRINTER_CONTROL_RESUME: {
            DWORD st = db_.printer(name)->info.status;
            st = command == PRINTER_CONTROL_PAUSE ? (st | PRINTER_STATUS_PAUSED) : (st & ~DWORD(PRINTER_STATUS_PAUSED));
            result = db_.set_status(name, st);
            if (rt) rt->wake.notify_all();
            break;
        }
        default: return ERROR_INVALID_PRINTER_COMMAND;
        }
    }
    if (changed) drop_chain(changed);
    if (result == 0 && (level == 2 || level == 5)) {
        {
            std::lock_guard lock(mutex_);
            settings_changed(s.printer);
        }
        announce_printer_change();
    }
    return result;
}

DWORD Service::get_printer_data(Session& s, const std::string& name, DWORD size, DWORD request_size, DWORD& type,
                                std::vector<uint8_t>& data, DWORD& needed) {
    RuntimePtr rt;
    {
        std::lock_guard lock(mutex_);
        DWORD e = 0;
        const Printer* p = session_printer(s, e);
        if (!p) return e;
        if (name.empty()) return ERROR_INVALID_PARAMETER;
        if (auto it = p->data.find(name); it != p->data.end()) {
            type = it->second.type;
            needed = static_cast<DWORD>(it->second.bytes.size());
            if (needed > size) return ERROR_MORE_DATA;
            data = it->second.bytes;
            return 0;
        }
        rt = runtime(p->info.name);
        if (!rt) return ERROR_PRINTER_DELETED;
    }
    // A name the printer does not hold is a request for its monitor chain.
    DWORD e = 0;
    auto chain = chain_for(rt, e);
    if (!chain) return e;
    std::vector<uint8_t> out(request_size);
    DWORD returned = 0;
    e = chain->get_data(name, out.data(), request_size, returned);
    if (e) return !chain->has_language_monitor() && e == ERROR_NOT_SUPPORTED ? ERROR_FILE_NOT_FOUND : e;
    type = REG_BINARY;
    needed = returned;
    out.resize(std::min(returned, request_size));
    data = std::move(out);
    return 0;
}

DWORD Service::set_printer_data(Session& s, const std::string& name, DWORD type, std::vector<uint8_t> data) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    // Printer data is the printer's configuration: changing it takes the
    // right to administer the printer, as the interface driver's probe expects.
    if (!s.internal() && !(s.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    const std::string printer = p->info.name;
    if ((e = db_.set_data(printer, name, DataValue{type, std::move(data)}))) return e;
    settings_changed(printer);
    return 0;
}

DWORD Service::add_printer(Session& s, PrinterInfo info) {
    std::string name = info.name, config_file;
    {
        std::lock_guard lock(mutex_);
        if (info.security.empty()) {
            info.security = new_printer_descriptor(s.uid);
        } else if (security::valid_descriptor_length(info.security.data(), info.security.size()) != info.security.size()) {
            return ERROR_INVALID_SECURITY_DESCR;
        }
        if (DWORD e = db_.add_printer(std::move(info))) return e;
        start_runtime(db_.printer(name)->info.name);
        // The new printer comes back open on the caller's handle.
        s.open = true;
        s.printer = db_.printer(name)->info.name;
        s.access = PRINTER_ALL_ACCESS;
        name = s.printer;
        config_file = config_file_of(name);
    }
    printer_event(name, config_file, PRINTER_EVENT_INITIALIZE);
    announce_printer_change();
    return 0;
}

DWORD Service::delete_printer(Session& s) {
    std::string name, config_file;
    {
        std::lock_guard lock(mutex_);
        DWORD e = 0;
        const Printer* p = session_printer(s, e);
        if (!p) return e;
        if (!s.internal() && !(s.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
        name = p->info.name;
        config_file = config_file_of(name);
    }
    // The driver hears of it while the printer and its data still exist.
    printer_event(name, config_file, PRINTER_EVENT_DELETE);
    {
        std::lock_guard lock(mutex_);
        DWORD e = 0;
        const Printer* p = session_printer(s, e);
        if (!p) return e;
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            auto job = (it++)->second;
            if (same_name(job->spool.printer, name)) cancel_job(job);
        }
        if ((e = db_.delete_printer(name))) return e;
        retire_runtime(name);
    }
    announce_printer_change();
    return 0;
}

DWORD Service::driver_directory(const std::string& environment, std::string& out) {
    if (!Database::environment_ok(environment)) return ERROR_INVALID_ENVIRONMENT;
    out = Database::driver_directory();
    return 0;
}

DWORD Service::get_printer_driver(Session& s, const std::string& environment, DriverInfo& out) {
    if (!Database::environment_ok(environment)) return ERROR_INVALID_ENVIRONMENT;
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    const DriverInfo* d = db_.driver(p->info.driver);
    if (!d) return ERROR_UNKNOWN_PRINTER_DRIVER;
    out = db_.driver_with_paths(*d);
    return 0;
}

DWORD Service::enum_drivers(const std::string& environment, std::vector<DriverInfo>& out) {
    if (!Database::environment_ok(environment)) return ERROR_INVALID_ENVIRONMENT;
    std::lock_guard lock(mutex_);
    out.clear();
    for (const auto& [name, d] : db_.drivers()) out.push_back(db_.driver_with_paths(d));
    return 0;
}

DWORD Service::add_driver(DriverInfo info) {
    std::lock_guard lock(mutex_);
    return db_.add_driver(std::move(info));
}

DWORD Service::delete_driver(const std::string& environment, const std::string& name) {
    std::lock_guard lock(mutex_);
    return db_.delete_driver(environment, name);
}

DWORD Service::add_port(const std::string& name, const std::string& monitor) {
    std::lock_guard lock(mutex_);
    return db_.add_port(name, monitor);
}

DWORD Service::delete_port(const std::string& name) {
    std::lock_guard lock(mutex_);
    return db_.delete_port(name);
}

DWORD Service::enum_ports(std::vector<PortInfo>& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    for (const auto& [name, p] : db_.ports()) out.push_back(p);
    return 0;
}

DWORD Service::configure_port(const std::string& name, const std::string* device, const std::string* settings) {
    std::lock_guard lock(mutex_);
    return db_.configure_port(name, device, settings);
}

DWORD Service::add_monitor(const MonitorInfo& info) {
    std::lock_guard lock(mutex_);
    return db_.add_monitor(info);
}

DWORD Service::delete_monitor(const std::string& environment, const std::string& name) {
    if (!Database::environment_ok(environment)) return ERROR_INVALID_ENVIRONMENT;
    std::lock_guard lock(mutex_);
    return db_.delete_monitor(name);
}

DWORD Service::enum_monitors(std::vector<MonitorInfo>& out) {
    std::lock_guard lock(mutex_);
    out = {MonitorInfo{kLocalPortMonitor, QOR_DRIVER_ENVIRONMENT, ""}};
    for (const auto& [name, m] : db_.monitors()) out.push_back(m);
    return 0;
}

}  // namespace qor::spooler
