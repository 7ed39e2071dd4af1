// One request record: its manual-reset event (created signalled), its busy
// flag and the task of the call in progress. A worker signals the event and
// clears busy only while its task is still the current one, so a late
// worker never wakes or frees a later call.
#pragma once

#include "qor/kernel.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace qor::cil {

template <class Task>
class RequestRecord {
public:
    RequestRecord() : event_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}
    ~RequestRecord() {
        if (event_) CloseHandle(event_);
    }
    RequestRecord(const RequestRecord&) = delete;
    RequestRecord& operator=(const RequestRecord&) = delete;

    bool valid() const { return event_ != nullptr; }
    HANDLE event() const { return event_; }
    bool busy() const { return busy_.load(); }

    // The caller's start: the event reset, busy set, the task current.
    void start(const std::shared_ptr<Task>& task) {
        std::lock_guard lock(mutex_);
        ResetEvent(event_);
        busy_.store(true);
        current_ = task;
        latest_ = task;
    }

    // The worker's end.
    void worker_done(Task& task, bool clear_busy) {
        task.ended.store(true);
        std::lock_guard lock(mutex_);
        if (current_.get() != &task) return;
        if (clear_busy) busy_.store(false);
        SetEvent(event_);
    }

    // The end of the caller's wait: busy cleared, the event signalled.
    void end() {
        std::lock_guard lock(mutex_);
        busy_.store(false);
        SetEvent(event_);
        current_.reset();
    }

    // The task started last, whether or not its call is over.
    std::shared_ptr<Task> latest() const {
        std::lock_guard lock(mutex_);
        return latest_;
    }

private:
    HANDLE event_;
    std::atomic<bool> busy_{false};
    mutable std::mutex mutex_;
    std::shared_ptr<Task> current_;
    std::shared_ptr<Task> latest_;
};

}  // namespace qor::cil
