// Documents, jobs and the despoolers.
#include "service.h"

#include "port_io.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qor::spooler {
namespace {

constexpr size_t kSendChunk = 64 * 1024;

uint64_t now_ms() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::string host_name() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

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
    }
    if (job.last_page_ejected) j.status |= JOB_STATUS_PRINTED;
    if (job.cancel) j.status |= JOB_STATUS_DELETING;
    if (job.paused) j.status |= JOB_STATUS_PAUSED;
    if (job.error) j.status |= JOB_STATUS_ERROR;
    j.priority = job.spool.priority;
    j.position = position;
    j.total_pages = job.spool.pages;
    j.pages_printed = job.last_page_ejected ? job.spool.pages : 0;
    j.submitted_ms = job.spool.submitted_ms;
    j.size = job.spool.size;
    return j;
}

Service::JobPtr Service::next_job(const Runtime& rt) const {
    const Printer* p = db_.printer(rt.name);
    if (!p || (p->info.status & PRINTER_STATUS_PAUSED)) return nullptr;
    for (const auto& [id, job] : jobs_)
        if (job->state == JobState::Queued && !job->paused && same_name(job->spool.printer, rt.name)) return job;
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
    if (!datatype.empty() && !same_name(datatype, "RAW")) return ERROR_INVALID_DATATYPE;
    uint32_t id = next_job_id_;
    while (jobs_.count(id) || id == 0 || id > 0x7FFFFFFF) id = id > 0x7FFFFFFF ? 1 : id + 1;
    next_job_id_ = id + 1;
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
    job->spool.submitted_ms = now_ms();
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

DWORD Service::set_job(Session& s, uint32_t job_id, DWORD command) {
    std::lock_guard lock(mutex_);
    DWORD e = 0;
    const Printer* p = session_printer(s, e);
    if (!p) return e;
    JobPtr job = find_job(job_id);
    if (!job || !same_name(job->spool.printer, p->info.name)) return ERROR_INVALID_PARAMETER;
    switch (command) {
    case 0: return 0;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
        // Ejected, then cancelled: the monitor side reporting the job printed.
        if (job->last_page_ejected) job->completed = true;
        cancel_job(job);
        return 0;
    case JOB_CONTROL_LAST_PAGE_EJECTED: job->last_page_ejected = true; return 0;
    case JOB_CONTROL_SENT_TO_PRINTER: return 0;
    case JOB_CONTROL_PAUSE: job->paused = true; return 0;
    case JOB_CONTROL_RESUME:
    case JOB_CONTROL_RESTART:
        job->paused = false;
        if (command == JOB_CONTROL_RESTART && job->state == JobState::Sent) job->state = JobState::Queued;
        if (auto rt = runtime(job->spool.printer)) rt->wake.notify_all();
        return 0;
    default: return ERROR_INVALID_PARAMETER;
    }
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

bool Service::should_stop_sending(const RuntimePtr& rt, const JobPtr& job) {
    std::lock_guard lock(mutex_);
    return rt->stopping || job->cancel;
}

// Sends one job through the printer's monitor chain. A failing write is
// retried in place (the job shows an error meanwhile) until it goes through
// or the job is cancelled; the port reopens a device that went away.
DWORD Service::send_job(const RuntimePtr& rt, const JobPtr& job) {
    DWORD e = 0;
    auto chain = chain_for(rt, e);
    if (!chain) return e;
    int fd = open(spool_data_path(job->spool.id).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ERROR_SPOOL_FILE_NOT_FOUND;
    if ((e = chain->start_doc(job->spool.id, job->spool.document, job->spool.output_file))) {
        close(fd);
        return e;
    }
    std::vector<uint8_t> buf(kSendChunk);
    bool stop = false;
    while (!stop && !(stop = should_stop_sending(rt, job))) {
        ssize_t n = read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size_t off = 0;
        while (off < size_t(n) && !(stop = should_stop_sending(rt, job))) {
            DWORD written = 0;
            DWORD error = chain->write(buf.data() + off, static_cast<DWORD>(size_t(n) - off), written);
            off += written;
            if (!error && written) continue;
            std::unique_lock lock(mutex_);
            job->error = error != 0;
            // A monitor that took nothing without an error is busy: poll it.
            auto wait = std::chrono::milliseconds(error ? options_.retry_ms : 20);
            rt->wake.wait_for(lock, wait, [&] { return rt->stopping || job->cancel; });
            job->error = false;
        }
    }
    close(fd);
    chain->end_doc();
    return 0;
}

void Service::despool(RuntimePtr rt) {
    std::unique_lock lock(mutex_);
    while (!rt->stopping) {
        if (std::chrono::steady_clock::now() < rt->retry_at) {
            rt->wake.wait_until(lock, rt->retry_at);
            continue;
        }
        JobPtr job = next_job(*rt);
        if (!job) {
            rt->wake.wait(lock);
            continue;
        }
        job->state = JobState::Printing;
        lock.unlock();
        DWORD e = send_job(rt, job);
        bool via_monitor = false;
        {
            std::lock_guard chain_lock(rt->chain_mutex);
            via_monitor = rt->chain && rt->chain->has_language_monitor();
        }
        if (e) drop_chain(rt);  // the next attempt opens the port afresh
        lock.lock();
        if (job->cancel || job->completed || e == ERROR_SPOOL_FILE_NOT_FOUND) {
            remove_job(job);
        } else if (e || rt->stopping) {
            job->state = JobState::Queued;
            job->error = e != 0;
            rt->retry_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.retry_ms);
        } else if (via_monitor) {
            job->state = JobState::Sent;  // the monitor reports it printed
            job->spool.flags |= kSpoolSent;
            write_spool_header(job->spool);
        } else {
            remove_job(job);  // its data has gone to the port
        }
    }
}

}  // namespace qor::spooler
