#include "message_queue.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace qorui {

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_fd_ < 0) throw std::runtime_error("eventfd for a message queue");
    // A thread Qt did not start gets its event dispatcher with its first loop.
    if (!QThread::currentThread()->eventDispatcher()) QEventLoop make_dispatcher;
    notifier_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { woken(); });
}

MessageQueue::~MessageQueue() {
    delete notifier_;
    close(wake_fd_);
}

bool MessageQueue::owned_by_this_thread() const { return owner_ == std::this_thread::get_id(); }

void MessageQueue::wake() {
    const uint64_t one = 1;
    // A full counter (never in practice) still leaves the fd readable.
    while (write(wake_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void MessageQueue::woken() {
    uint64_t count = 0;
    while (read(wake_fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    run_calls();
    // A blocked GetMessage takes the message itself; otherwise (a modal
    // loop, or Qt's own loop) posted messages are dispatched here.
    bool waited = false;
    {
        std::lock_guard guard(lock);
        waited = waiting > 0;
    }
    if (!waited) drain();
}

void MessageQueue::run_calls() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard guard(lock);
            if (calls.empty()) return;
            call = std::move(calls.front());
            calls.pop_front();
        }
        call();
        {
            std::lock_guard guard(lock);
            ++finished_calls;
        }
        calls_done.notify_all();
    }
}

void MessageQueue::post(const MSG& message) {
    {
        std::lock_guard guard(lock);
        messages.push_back(message);
    }
    wake();
}

void MessageQueue::call_in_owner(std::function<void()> call) {
    std::unique_lock guard(lock);
    calls.push_back(std::move(call));
    const unsigned long long ticket = ++queued_calls;
    guard.unlock();
    wake();
    guard.lock();
    calls_done.wait(guard, [&] { return finished_calls >= ticket; });
}

bool MessageQueue::take(MSG& out, HWND window, UINT first, UINT last, bool remove) {
    std::lock_guard guard(lock);
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (window && it->hwnd != window) continue;
        if ((first || last) && (it->message < first || it->message > last)) continue;
        out = *it;
        if (remove) messages.erase(it);
        return true;
    }
    return false;
}

void MessageQueue::drain() {
    MSG message;
    while (take(message, nullptr, 0, 0, true)) DispatchMessageW(&message);
}

}  // namespace qorui
