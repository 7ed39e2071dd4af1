// A thread's posted and sent messages. Other threads hand work over under
// `lock` and wake the owner through an eventfd its Qt event loop watches, so
// no Qt object ever crosses threads and every hand-over is a plain mutex.
#pragma once

#include "qor/ui/windows.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QSocketNotifier;

namespace qorui {

struct MessageQueue {
    std::mutex lock;
    std::condition_variable calls_done;
    std::deque<MSG> messages;
    // Calls other threads wait on (a SendMessage to one of our windows),
    // each run once by the owner; `finished` counts those run so far.
    std::deque<std::function<void()>> calls;
    unsigned long long queued_calls = 0;
    unsigned long long finished_calls = 0;
    bool quit = false;
    int quit_code = 0;
    int waiting = 0;  // GetMessage calls blocked on this queue

    // Must be built in the owning thread.
    MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue();

    bool owned_by_this_thread() const;
    void post(const MSG& message);
    // Runs `call` in the owning thread and returns when it has run.
    void call_in_owner(std::function<void()> call);
    // Takes the first message for `window` (null: any) within the range.
    bool take(MSG& out, HWND window, UINT first, UINT last, bool remove);
    // Dispatches everything queued; used when no GetMessage loop waits.
    void drain();
    // Runs the calls other threads are waiting on.
    void run_calls();

private:
    void wake();
    void woken();

    int wake_fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::thread::id owner_;
};

}  // namespace qorui
