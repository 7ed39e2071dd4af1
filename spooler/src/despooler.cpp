// The despoolers: per printer, its jobs in order through the monitor chain,
// each printed once and whole. An attempt that loses the printer, or is cut
// short by a stop of the service, is ended and the job is sent again from
// its start after the printer has been brought to a known state.
#include "service.h"

#include "port_device.h"
#include "port_io.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

constexpr size_t kSendChunk = 64 * 1024;

// The printer-data request that asks a language monitor for the bytes that
// bring its printer to a known state before a job is sent again.
constexpr const char* kRecoveryRequest = "RecoverySequence";
constexpr DWORD kMaxRecoverySequence = 256;

// Errors of a port whose device went away: what was in flight is lost.
bool device_lost(DWORD error) {
    switch (error) {
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BROKEN_PIPE:
    case ERROR_IO_DEVICE:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
        return true;
    default:
        return false;
    }
}

std::vector<uint8_t> recovery_sequence(MonitorChain& chain) {
    std::vector<uint8_t> bytes(kMaxRecoverySequence);
    DWORD returned = 0;
    if (chain.get_data(kRecoveryRequest, bytes.data(), kMaxRecoverySequence, returned) != 0) return {};
    bytes.resize(std::min(returned, kMaxRecoverySequence));
    return bytes;
}

}  // namespace

bool Service::should_stop_sending(const RuntimePtr& rt, const JobPtr& job) {
    std::lock_guard lock(mutex_);
    return rt->stopping || job->cancel;
}

void Service::note_answer(const RuntimePtr& rt, bool answering) {
    std::lock_guard lock(mutex_);
    rt->not_answering = !answering;
}

// Writes `size` bytes through the chain; an empty push drains the port. A
// write that fails without losing the device (time-out, full disk) is tried
// again in place every retry interval, the job showing an error meanwhile.
// 0 when everything went (or `stopped` when told to stop first), else the
// error of a device that went away.
DWORD Service::push(const RuntimePtr& rt, const JobPtr& job, MonitorChain& chain, const uint8_t* data, size_t size,
                    bool& stopped) {
    size_t off = 0;
    for (;;) {
        if ((stopped = should_stop_sending(rt, job))) return 0;
        DWORD written = 0;
        DWORD error = chain.write(data + off, static_cast<DWORD>(size - off), written);
        off += written;
        if (!error && (written || size == 0)) {
            note_answer(rt, true);
            if (off == size) return 0;
            continue;
        }
        if (device_lost(error)) {
            note_answer(rt, false);
            return error;
        }
        // A printer that is slow or stopped (time-out) still answers; a port
        // that cannot be written does not.
        if (error && error != ERROR_TIMEOUT) note_answer(rt, false);
        std::unique_lock lock(mutex_);
        job->error = error != 0;
        // A monitor that took nothing without an error is busy: poll it.
        auto wait = std::chrono::milliseconds(error ? options_.retry_ms : 20);
        rt->wake.wait_for(lock, wait, [&] { return rt->stopping || job->cancel; });
        job->error = false;
    }
}

// From here on the printer may hold part of the job: that is recorded
// before the first byte goes out.
void Service::begin_attempt(const JobPtr& job) {
    std::lock_guard lock(mutex_);
    ++job->spool.attempts;
    job->spool.flags |= kSpoolStarted;
    save_header(job);
}

// Ends an attempt that did not send the whole job. The monitor's reports of
// it do not count; the printer is brought to a known state before the next
// job. A lost printer or a stop of the service is an interruption, recorded
// in the job's history; the job is then sent again whole.
void Service::end_attempt_unfinished(const RuntimePtr& rt, const JobPtr& job, MonitorChain& chain, DWORD error) {
    {
        std::lock_guard lock(mutex_);
        job->reports_void = true;
        rt->needs_recovery = true;
        if (!job->cancel) {
            record_interruption(job->spool, error);
            save_header(job);
        }
    }
    chain.end_doc();
}

Service::Attempt Service::send_job(const RuntimePtr& rt, const JobPtr& job) {
    Attempt attempt;
    auto chain = chain_for(rt, attempt.error);
    if (!chain) return attempt;
    int fd = open(spool_data_path(job->spool.id).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {ERROR_SPOOL_FILE_NOT_FOUND, false};
    if ((attempt.error = chain->start_doc(job->spool.id, job->spool.document, job->spool.output_file))) {
        close(fd);
        note_answer(rt, false);  // its port could not be opened
        return attempt;
    }
    bool recover;
    {
        std::lock_guard lock(mutex_);
        job->reports_void = job->void_ejection = false;
        job->last_page_ejected = false;
        recover = rt->needs_recovery || (job->spool.flags & kSpoolStarted);
    }
    bool stopped = false;
    DWORD error = 0;
    if (recover) {
        std::vector<uint8_t> sequence = recovery_sequence(*chain);
        if (!sequence.empty()) error = push(rt, job, *chain, sequence.data(), sequence.size(), stopped);
        if (!error && !stopped) {
            std::lock_guard lock(mutex_);
            rt->needs_recovery = false;
        }
    }
    if (!error && !stopped) begin_attempt(job);
    std::vector<uint8_t> buf(kSendChunk);
    while (!error && !stopped) {
        ssize_t n = read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        error = push(rt, job, *chain, buf.data(), size_t(n), stopped);
    }
    close(fd);
    // The job is sent when its last byte has reached the printer.
    if (!error && !stopped && job->spool.size) error = push(rt, job, *chain, nullptr, 0, stopped);
    if (error || stopped) {
        end_attempt_unfinished(rt, job, *chain, error);
        return {error, true};
    }
    chain->end_doc();
    return attempt;
}

void Service::await_device(const RuntimePtr& rt) {
    rt->awaited_device.clear();
    const Printer* p = db_.printer(rt->name);
    if (!p) return;
    const PortInfo* port = db_.port(p->info.port);
    DeviceTarget target;
    if (!resolve_device(p->info.port, port ? port->device : std::string(), port ? port->settings : std::string(),
                        std::string(), target) ||
        !target.kind.empty())
        return;
    if (arrivals_.expect(target.path)) rt->awaited_device = target.path;
}

void Service::device_back(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto& [name, rt] : runtimes_) {
        if (rt->awaited_device != path) continue;
        rt->awaited_device.clear();
        rt->retry_at = std::chrono::steady_clock::now();
        rt->wake.notify_all();
    }
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
        if (!driver_allows(rt, job)) {
            lock.lock();
            job->state = JobState::Queued;
            if (job->cancel) remove_job(job);
            continue;
        }
        Attempt attempt = send_job(rt, job);
        bool via_monitor = false;
        {
            std::lock_guard chain_lock(rt->chain_mutex);
            via_monitor = rt->chain && rt->chain->has_language_monitor();
        }
        if (attempt.error) drop_chain(rt);  // the next attempt opens the port afresh
        lock.lock();
        if (job->cancel || attempt.error == ERROR_SPOOL_FILE_NOT_FOUND) {
            remove_job(job);
        } else if (job->completed) {
            finish_printed(job);
        } else if (attempt.error || attempt.interrupted) {
            job->state = JobState::Queued;
            job->error = attempt.error != 0;
            rt->retry_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.retry_ms);
            if (attempt.error) await_device(rt);
        } else if (via_monitor) {
            job->state = JobState::Sent;  // the monitor reports it printed
            job->spool.flags |= kSpoolSent;
            save_header(job);
        } else {
            finish_printed(job);  // its data has reached the port's device
        }
    }
}

}  // namespace qor::spooler
