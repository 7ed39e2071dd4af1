#include "idle_keeper.h"

#include "common/status.h"
#include "requests.h"
#include "spooler_status.h"
#include "status_block_writer.h"

#include "qor/kernel.h"
#include "qor/spooler.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qor::model {

namespace {

class Watch {
public:
    // Nothing is sent at the open: a port opened again after the spooler
    // was lost mid-job has a printer inside that job's raster data, where
    // even a real-time query would be taken for dots.
    Watch(const Lm2kEntries& lm, HANDLE port) : lm_(lm), port_(port) {
        qormon_set(record(), QORMON_KEEP_POLLING_A);
        hold_port(lm_, port_);
        thread_ = std::thread([this] { run(); });
    }
    ~Watch() {
        {
            std::lock_guard guard(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
        qormon_clear(record(), QORMON_KEEP_POLLING_A);
        release_port(lm_, port_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

private:
    QORMON_PORT* record() const { return static_cast<QORMON_PORT*>(port_); }

    // Waits one period; false once stopping.
    bool pause() {
        std::unique_lock guard(mutex_);
        return !wake_.wait_for(guard, std::chrono::milliseconds(kIdlePollMs), [this] { return stopping_; });
    }

    // Whether the device is still there, without sending the printer a
    // byte: an empty write only waits until what was written has arrived.
    bool device_present() {
        BYTE none = 0;
        DWORD written = 0;
        return lm_.write_port(port_, &none, 0, &written) || GetLastError() == ERROR_TIMEOUT;
    }

    // The device went away. A real-time query, the only bytes sent while
    // idle and only to a printer that is gone, has the port monitor open the
    // device afresh; once it answers, the printer (probably restarted) is
    // asked to report its changes again.
    void reconnect() {
        if (!lost_) {
            store_no_answer();
            report_no_answer_to_spooler(port_, last_printer_status());
            lost_ = true;
        }
        DWORD status = 0;
        if (!query_printer_status(lm_, port_, &status)) return;
        enable_status_back(lm_, port_);
        report_to_spooler(port_, status);
        lost_ = false;
    }

    void run() {
        while (pause()) {
            if (qormon_has(record(), QORMON_JOB_ACTIVE)) continue;
            // Status back the printer sends on a change; a polling thread
            // kept alive after a job reads it itself.
            if (!qormon_has(record(), QORMON_THREAD_ALIVE)) lm_.read_command(port_, QORMON_READ_POLL);
            if (lost_ || !device_present()) reconnect();
        }
    }

    const Lm2kEntries& lm_;
    HANDLE port_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool lost_ = false;  // the worker's own
    std::thread thread_;
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
