// SetTimer / KillTimer on QTimer. An expiry is delivered from the event
// loop (as the platform's low-priority WM_TIMER is): to the timer's
// procedure when it has one, else to the window as WM_TIMER.
#include "window_table.h"

#include <QDateTime>
#include <QTimer>

#include <map>

using namespace qorui;

namespace {

struct TimerKey {
    HWND window;
    UINT_PTR id;
    bool operator<(const TimerKey& other) const {
        return window != other.window ? window < other.window : id < other.id;
    }
};

// Timers belong to the GUI thread, like the windows they serve.
std::map<TimerKey, QTimer*>& timers() {
    static auto* table = new std::map<TimerKey, QTimer*>;
    return *table;
}

UINT_PTR next_free_id = 0x7F00;

}  // namespace

void qorui::kill_window_timers(HWND window) {
    for (auto it = timers().begin(); it != timers().end();) {
        if (it->first.window == window) {
            it->second->deleteLater();
            it = timers().erase(it);
        } else {
            ++it;
        }
    }
}

extern "C" {

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    ensure_application();
    if (window && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!window) id = ++next_free_id;
    TimerKey key{window, id};
    QTimer*& timer = timers()[key];
    if (!timer) timer = new QTimer;
    timer->disconnect();
    timer->setInterval(static_cast<int>(std::max<UINT>(elapse_ms, 10)));
    QObject::connect(timer, &QTimer::timeout, [key, proc] {
        DWORD now = static_cast<DWORD>(QDateTime::currentMSecsSinceEpoch());
        if (proc)
            proc(key.window, WM_TIMER, key.id, now);
        else if (key.window)
            SendMessageW(key.window, WM_TIMER, key.id, 0);
    });
    timer->start();
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto it = timers().find(TimerKey{window, id});
    if (it == timers().end()) return FALSE;
    it->second->stop();
    it->second->deleteLater();
    timers().erase(it);
    return TRUE;
}

}  // extern "C"
