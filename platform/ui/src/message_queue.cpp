#include "message_queue.h"

#include <QCoreApplication>
#include <QEvent>

namespace qorui {

namespace {
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

bool QueueWaker::event(QEvent* event) {
    if (event->type() != kWakeEvent) return QObject::event(event);
    // A blocked GetMessage takes the message itself; otherwise (a modal
    // loop, or Qt's own loop) posted messages are dispatched here.
    bool waited = false;
    {
        std::lock_guard guard(queue->lock);
        waited = queue->waiting > 0;
    }
    if (!waited) queue->drain();
    return true;
}

void MessageQueue::post(const MSG& message) {
    {
        std::lock_guard guard(lock);
        messages.push_back(message);
    }
    QCoreApplication::postEvent(waker, new QEvent(kWakeEvent));
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
