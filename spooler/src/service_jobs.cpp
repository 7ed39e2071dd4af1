// Documents and jobs.
#include "service.h"
#include "job_devmode.h"
#include "printer_security.h"

#include "port_io.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

std::string host_name() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

// What the job's history says, for its status text.
std::string history_text(const SpoolJob& job) {
    if (!job.interruptions) return {};
    std::string text = "sent again whole after " + std::to_string(job.interruptions) +
                       (job.interruptions == 1 ? " interruption" : " interruptions");
    if (job.last_error) text += " (last: error " + std::to_string(job.last_error) + ")";
    return text;
}

// What a job refused by its printer's driver shows when the driver gave no
// text of its own.
constexpr const char* kBlockedText =
    "held: the printer's driver cannot print it with these settings; change its settings or cancel it";

}  // namespace

Service::JobPtr Service::find_job(uint32_t id) const {
    auto it = jobs_.find(id);
    return it == jobs_.end() ? nullptr : it->second;
}

void Service::remove_job(const JobPtr& job) {
    auto it = jobs_.find(job->spool.id);
    if (it == jobs_.end() || it->second != job) return;
    if (job->fd >= 0) close(job->fd), job->fd = -1;
    remove_spool_files(job->spool.id);
    jobs_.erase(it);
}

void Service::save_header(const JobPtr& job) {
    // Not fatal: a header that cannot be rewritten keeps its older state,
    // which is what a restart then goes by.
    write_spool_header(job->spool);
}

bool Service::keeps_printed(const std::string& printer) const {
    const Printer* p = db_.printer(printer);
    return p && (p->info.attributes & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS);
}

void Service::finish_printed(const JobPtr& job) {
    if (!keeps_printed(job->spool.printer)) {
        remove_job(job);
        return;
    }
    job->state = JobState::Printed;
    job->spool.flags = (job->spool.flags & ~(kSpoolSent | kSpoolStarted)) | kSpoolPrinted;
    save_header(job);
}

// A job being sent is only marked; its despooler removes it when it lets go.
// A document still being written loses its file, which its writer notices.
void Service::cancel_job(const JobPtr& job) {
    if (job->state == JobState::Printing) {
        job->cancel = true;
        if (auto rt = runtime(job->spool.printer)) rt->wake.notify_all();
        return;
    }
    remove_job(job);
}

JobInfo Service::report(const Job& job, uint32_t position) const {
    JobInfo j;
    j.id = job.spool.id;
    j.printer = job.spool.printer, j.machine = job.spool.machine, j.user = job.spool.user;
    j.document = job.spool.document, j.datatype = job.spool.datatype;
    switch (job.state) {
    case JobState::Spooling: j.status = JOB_STATUS_SPOOLING; break;
    case JobState::Queued: j.status = 0; break;
    case JobState::Printing: case JobState::Sent: j.status = JOB_STATUS_PRINTING; break;
    case JobState::Printed: j.status = JOB_STATUS_PRINTED; break;
    }
    if (job.last_page_ejected) j.status |= JOB_STATUS_PRINTED;
    if (job.cancel) j.status |= JOB_STATUS_DELETING;
    if (job.paused) j.status |= JOB_STATUS_PAUSED;
    if (job.error) j.status |= JOB_STATUS_ERROR;
    j.priority = job.spool.priority;
    j.position = position;
    j.total_pages = job.spool.pages;
    j.pages_printed = job.last_page_ejected || job.state == JobState::Printed ? job.spool.pages : 0;
    j.status_text = history_text(job.spool);
    if (job.blocked) {
        j.status |= JOB_STATUS_BLOCKED_DEVQ;
        j.status_text = job.blocked_reason.empty() ? kBlockedText : job.blocked_reason;
    }
    j.submitted_ms = job.spool.submitted_ms;
    j.size = job.spool.size;
    return j;
}

Service::JobPtr Service::next_job(const Runtime& rt) const {
    const Printer* p = db_.printer(rt.name);
    if (!p || (p->info.status & PRINTER_STATUS_PAUSED)) return nullptr;
    for (const auto& [id, job] : jobs_)
        if (job->state == JobState::Queued && !job->paused && !job->blocked && same_name(job->spool.printer, rt.name))
            return job;
    return nullptr;
}

DWORD Service::start_doc(Session& s, const std::string& document, const std::string& output,
                         const std::string& datatype, uint32_t& job_id, int& fd) {
    static const std::string machine = host_name();
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    if (s.job) return ERROR_INVALID_PRINTER_STATE;
    if (!s.internal() && !(s.access & PRINTER_ACCESS_USE)) return ERROR_ACCESS_DENIED;
    if (!datatype.empty() && !same_name(datatype, "RAW")) return ERROR_INVALID_DATATYPE;
    uint32_t id = job_ids_.next([&](uint32_t n) { return jobs_.count(n) > 0; }, e);
    if (!id) return e;
    int data = create_spool_data(id);
    if (data < 0) return error_from_errno(errno);
    fd = fcntl(data, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        e = error_from_errno(errno);
        close(data);
        remove_spool_files(id);
        return e;
    }
    auto job = std::make_shared<Job>();
    job->spool.id = id;
    job->spool.printer = p->info.name;
    job->spool.document = document;
    job->spool.user = s.user;
    job->spool.machine = machine;
    job->spool.datatype = "RAW";
    job->spool.output_file = output;
    job->spool.devmode = s.devmode;
    job->spool.submitted_ms = unix_time_ms();
    job->session = s.id;
    job->fd = data;
    jobs_[id] = job;
    s.job = id;
    job_id = id;
    return 0;
}

DWORD Service::end_doc(Session& s, uint32_t pages, bool abort) {
    std::lock_guard lock(mutex_);
    if (!s.job) return ERROR_SPL_NO_STARTDOC;
    JobPtr job = find_job(s.job);
    s.job = 0;
    if (!job || job->state != JobState::Spooling) return ERROR_PRINT_CANCELLED;
    if (abort) {
        remove_job(job);
        return 0;
    }
    struct stat st{};
    if (fstat(job->fd, &st) != 0) {
        DWORD e = error_from_errno(errno);
        remove_job(job);
        return e;
    }
    job->spool.size = static_cast<uint64_t>(st.st_size);
    job->spool.pages = pages;
    if (DWORD e = write_spool_header(job->spool)) {
        remove_job(job);
        return e;
    }
    close(job->fd);
    job->fd = -1;
    job->session = 0;
    job->state = JobState::Queued;
    if (auto rt = runtime(job->spool.printer)) rt->wake.notify_all();
    return 0;
}

DWORD Service::set_job(Session& s, uint32_t job_id, DWORD command, const std::vector<uint8_t>* devmode) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    JobPtr job = find_job(job_id);
    if (!job || !same_name(job->spool.printer, p->info.name)) return ERROR_INVALID_PARAMETER;
    if ((command != 0 || devmode) && !s.internal() && !may_manage_job(p->info, s.caller, job->spool.user == s.user))
        return ERROR_ACCESS_DENIED;
    if (devmode) {
        if (devmode->empty() || !devmode_acceptable(*devmode)) return ERROR_INVALID_PARAMETER;
        job->spool.devmode = *devmode;
        ++job->devmode_changes;
        // A document still being written gets its header when it ends.
        if (job->state != JobState::Spooling) save_header(job);
        if (job->blocked) {
            job->blocked = false;
            if (auto rt = runtime(job->spool.printer)) rt->wake.notify_all();
        }
    }
    switch (command) {
    case 0: return 0;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE: {
        if (job->void_ejection) {
            job->void_ejection = false;  // the report of an attempt that failed
            return 0;
        }
        // Ejected, then cancelled: the monitor side reporting the job printed.
        bool sending = job->state == JobState::Printing || job->state == JobState::Sent;
        if (job->last_page_ejected && sending && !job->completed) {
            job->completed = true;
            if (job->state == JobState::Sent) finish_printed(job);
            return 0;
        }
        cancel_job(job);
        return 0;
    }
    case JOB_CONTROL_LAST_PAGE_EJECTED:
        if (job->reports_void) job->void_ejection = true;
        else job->last_page_ejected = true;
        return 0;
    case JOB_CONTROL_SENT_TO_PRINTER: return 0;
    case JOB_CONTROL_PAUSE: job->paused = true; return 0;
    case JOB_CONTROL_RESUME:
    case JOB_CONTROL_RESTART:
        job->paused = false;
        if (command == JOB_CONTROL_RESTART && (job->state == JobState::Sent || job->state == JobState::Printed)) {
            // Printed whole before: sent again from its start, no recovery needed.
            job->state = JobState::Queued;
            job->last_page_ejected = job->completed = false;
            job->spool.flags &= ~(kSpoolSent | kSpoolPrinted | kSpoolStarted);
            save_header(job);
        }
        if (auto rt = runtime(job->spool.printer)) rt->wake.notify_all();
        return 0;
    default: return ERROR_INVALID_PARAMETER;
    }
}

DWORD Service::get_job(Session& s, uint32_t job_id, JobInfo& out) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    uint32_t position = 0;
    for (const auto& [id, job] : jobs_) {
        if (!same_name(job->spool.printer, p->info.name)) continue;
        ++position;
        if (id != job_id) continue;
        out = report(*job, position);
        out.devmode = job->spool.devmode;
        return 0;
    }
    return ERROR_INVALID_PARAMETER;
}

DWORD Service::enum_jobs(Session& s, uint32_t first, uint32_t count, std::vector<JobInfo>& out) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    out.clear();
    uint32_t position = 0;
    for (const auto& [id, job] : jobs_) {
        if (!same_name(job->spool.printer, p->info.name)) continue;
        if (position++ < first) continue;
        if (out.size() >= count) break;
        out.push_back(report(*job, position));
    }
    return 0;
}

}  // namespace qor::spooler
