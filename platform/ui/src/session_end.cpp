// The desktop session's end, as WM_QUERYENDSESSION / WM_ENDSESSION.
#include "window_table.h"

#include <QGuiApplication>
#include <QSessionManager>

using namespace qorui;

namespace {

void hook_session_manager() {
    static bool hooked = [] {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (!app) return false;
        QObject::connect(app, &QGuiApplication::commitDataRequest, [](QSessionManager&) { QorUiEndSession(); });
        return true;
    }();
    (void)hooked;
}

}  // namespace

extern "C" void QorUiEndSession(void) {
    std::vector<HWND> top;
    for (auto& window : all_windows())
        if (window->widget && window->widget->isWindow()) top.push_back(window->handle);
    for (HWND window : top) SendMessageW(window, WM_QUERYENDSESSION, 0, 0);
    for (HWND window : top)
        if (IsWindow(window)) SendMessageW(window, WM_ENDSESSION, TRUE, 0);
}

void qorui::watch_session_end() { hook_session_manager(); }
