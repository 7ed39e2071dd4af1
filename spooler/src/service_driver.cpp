// Where the service calls a printer's interface driver: the job query
// before a job is sent, and the printer events.
#include "service.h"

#include "qor/ddiui.h"

#include <cstdio>

namespace qor::spooler {

std::string Service::config_file_of(const std::string& printer) const {
    const Printer* p = db_.printer(printer);
    const DriverInfo* d = p ? db_.driver(p->info.driver) : nullptr;
    if (!d || d->config_file.empty()) return {};
    return db_.driver_with_paths(*d).config_file;
}

void Service::settings_changed(const std::string& printer) {
    RuntimePtr rt = runtime(printer);
    if (rt) ++rt->settings_changes;
    bool any = false;
    for (const auto& [id, job] : jobs_)
        if (job->blocked && same_name(job->spool.printer, printer)) job->blocked = false, any = true;
    if (rt && any) rt->wake.notify_all();
}

void Service::printer_event(const std::string& printer, const std::string& config_file, int event) {
    if (config_file.empty()) return;
    std::string failure;
    if (!interface_drivers_.get(config_file)->printer_event(printer, event, failure))
        std::fprintf(stderr, "qorspoold: printer \"%s\": event %d to its driver %s: %s\n", printer.c_str(), event,
                     config_file.c_str(), failure.c_str());
}

// The job is in the Printing state meanwhile, so no other despooler takes
// it and a cancel only marks it.
bool Service::driver_allows(const RuntimePtr& rt, const JobPtr& job) {
    std::string config_file;
    std::vector<uint8_t> devmode;
    uint64_t devmode_changes = 0, settings_changes = 0;
    {
        std::lock_guard lock(mutex_);
        if (job->spool.devmode.empty()) return true;  // nothing to ask about
        config_file = config_file_of(rt->name);
        devmode = job->spool.devmode;
        devmode_changes = job->devmode_changes;
        settings_changes = rt->settings_changes;
    }
    if (config_file.empty()) return true;
    JobQuery answer = interface_drivers_.get(config_file)->query(rt->name, devmode);
    if (answer.allowed) {
        std::lock_guard lock(mutex_);
        // Changed while asked: the new settings are asked about instead.
        return job->devmode_changes == devmode_changes && rt->settings_changes == settings_changes;
    }
    std::lock_guard lock(mutex_);
    if (job->devmode_changes == devmode_changes && rt->settings_changes == settings_changes) {
        job->blocked = true;
        job->blocked_reason = answer.reason;
    }
    return false;
}

}  // namespace qor::spooler
