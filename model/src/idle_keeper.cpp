#include "idle_keeper.h"

#include "common/status.h"
#include "requests.h"
#include "spooler_status.h"

#include "qor/kernel.h"
#include "qor/spooler.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qor::model {

namespace {

// Nothing reported yet, or the job's own reporting came in between.
constexpr DWORD kNothingReported = 0xFFFFFFFF;

class Watch {
public:
    Watch(const Lm2kEntries& lm, HANDLE port) : lm_(lm), port_(port), thread_([this] { run(); }) {}
    ~Watch() {
        {
            std::lock_guard guard(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

private:
    // Waits one period; false once stopping.
    bool pause() {
        std::unique_lock guard(mutex_);
        return !wake_.wait_for(guard, std::chrono::milliseconds(kIdlePollMs), [this] { return stopping_; });
    }

    bool job_under_way() const {
        auto* record = static_cast<QORMON_PORT*>(port_);
        return qormon_has(record, QORMON_JOB_ACTIVE | QORMON_THREAD_ALIVE);
    }

    // One query, unless a QORCIL request is being served: its replies are
    // not to be taken for ours.
    void poll(DWORD& reported) {
        HANDLE requests = CreateMutexA(nullptr, FALSE, names::kRequestMutex);
        if (!requests) return;
        const DWORD locked = WaitForSingleObject(requests, 0);
        if (locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED) {
            DWORD status = 0;
            const bool answered = query_printer_status(lm_, port_, &status);
            ReleaseMutex(requests);
            const DWORD word = answered ? status : status | PRINTER_STATUS_NOT_AVAILABLE;
            if (word != reported) {
                report_to_spooler(port_, word);
                reported = word;
            }
            if (!answered) {
                // The device may have gone and come back: let the port end
                // so that the next hold opens it afresh.
                release_port(lm_, port_);
                hold_port(lm_, port_);
            }
        }
        CloseHandle(requests);
    }

    void run() {
        hold_port(lm_, port_);
        DWORD reported = kNothingReported;
        while (pause()) {
            if (job_under_way()) {
                // The job's polling reports, and resets the status after it.
                reported = kNothingReported;
                continue;
            }
            poll(reported);
        }
        release_port(lm_, port_);
    }

    const Lm2kEntries& lm_;
    HANDLE port_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;  // last: started once the rest is in place
};

std::mutex g_mutex;
std::map<HANDLE, std::unique_ptr<Watch>> g_watches;

}  // namespace

void keep_watched(const Lm2kEntries& lm, HANDLE port) {
    std::lock_guard guard(g_mutex);
    auto& watch = g_watches[port];
    if (!watch) watch = std::make_unique<Watch>(lm, port);
}

void stop_watching(HANDLE port) {
    std::unique_ptr<Watch> watch;
    {
        std::lock_guard guard(g_mutex);
        const auto it = g_watches.find(port);
        if (it == g_watches.end()) return;
        watch = std::move(it->second);
        g_watches.erase(it);
    }
    watch.reset();  // joins outside the lock
}

void stop_watching_all() {
    std::map<HANDLE, std::unique_ptr<Watch>> watches;
    {
        std::lock_guard guard(g_mutex);
        watches.swap(g_watches);
    }
    watches.clear();
}

}  // namespace qor::model
