#include "job_watch.h"

#include "qor/spooler.h"

#include <thread>
#include <vector>

namespace qorcups {
namespace {

struct JobSeen {
    bool present = false;
    DWORD status = 0;
};

JobSeen FindJob(HANDLE printer, DWORD job_id) {
    DWORD needed = 0, count = 0;
    EnumJobsW(printer, 0, 0xFFFF, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    if (!EnumJobsW(printer, 0, 0xFFFF, 1, buffer.data(), needed, &needed, &count)) return {};
    const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (jobs[i].JobId == job_id) return {true, jobs[i].Status};
    return {};
}

bool PrinterStatus(HANDLE printer, DWORD* status) {
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return false;
    *status = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->Status;
    return true;
}

}  // namespace

JobEnd WatchJob(const std::u16string& printer_name, DWORD job_id, const WatchOptions& options, std::string* error) {
    std::u16string name = printer_name;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) {
        *error = "the suite printer is gone (error " + std::to_string(GetLastError()) + ")";
        return JobEnd::Lost;
    }
    StateReporter reporter;
    const auto say = [&](const std::string& text) {
        if (options.say && !text.empty()) options.say(text);
    };
    JobEnd end = JobEnd::Printed;
    bool sent = false;  // the service has handed the whole job to the printer
    for (;;) {
        if (options.stop && options.stop->load()) {
            SetJobW(printer, job_id, 0, nullptr, JOB_CONTROL_CANCEL);
            end = JobEnd::Cancelled;
            break;
        }
        DWORD status = 0;
        if (!PrinterStatus(printer, &status)) {
            *error = "the suite printer was deleted while the job waited";
            end = JobEnd::Lost;
            break;
        }
        say(reporter.Update(StateReasons(status)));
        if (!sent) {
            const JobSeen job = FindJob(printer, job_id);
            sent = !job.present || (job.status & JOB_STATUS_PRINTED);
            // Gone from the queue: sent, unless the printer went with it.
            if (!job.present && !PrinterStatus(printer, &status)) {
                *error = "the suite printer was deleted while the job waited";
                end = JobEnd::Lost;
                break;
            }
        }
        if (sent) break;
        std::this_thread::sleep_for(options.poll);
    }
    say(reporter.Clear());
    ClosePrinter(printer);
    return end;
}

}  // namespace qorcups
