// A thread's posted messages, woken through the Qt event loop of that thread.
#pragma once

#include "qor/ui/windows.h"

#include <QObject>

#include <deque>
#include <mutex>

namespace qorui {

class QueueWaker : public QObject {
public:
    bool event(QEvent* event) override;
    struct MessageQueue* queue = nullptr;
};

struct MessageQueue {
    std::mutex lock;
    std::deque<MSG> messages;
    bool quit = false;
    int quit_code = 0;
    int waiting = 0;     // GetMessage calls blocked on this queue
    QueueWaker* waker = nullptr;  // lives in the owning thread

    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue() { delete waker; }

    void post(const MSG& message);
    // Takes the first message for `window` (null: any) within the range.
    bool take(MSG& out, HWND window, UINT first, UINT last, bool remove);
    // Dispatches everything queued; used when no GetMessage loop waits.
    void drain();
};

}  // namespace qorui
