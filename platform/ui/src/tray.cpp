// Notification-area icons on QSystemTrayIcon.
#include "icons.h"
#include "script_session.h"
#include "window_table.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

#include <map>
#include <memory>

using namespace qorui;

namespace {

struct TrayIcon {
    std::unique_ptr<QSystemTrayIcon> icon;  // null where the desktop has no tray
    UINT callback = 0;
    QString tip;
};

using TrayKey = std::pair<HWND, UINT>;
std::map<TrayKey, TrayIcon>& icons() {
    static auto* table = new std::map<TrayKey, TrayIcon>;
    return *table;
}

QString bounded(const WCHAR* text, size_t units) {
    size_t length = 0;
    while (length < units && text[length]) ++length;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), static_cast<qsizetype>(length));
}

void log_change(const char* what, const QString& tip) {
    log_shown(ScriptedBox{"tray", what, tip.toStdString(), "", ""});
}

void apply(TrayIcon& entry, const NOTIFYICONDATAW& data, TrayKey key) {
    if (data.uFlags & NIF_MESSAGE) entry.callback = data.uCallbackMessage;
    if (data.uFlags & NIF_TIP) entry.tip = bounded(data.szTip, 128);
    if (!entry.icon) return;
    if (data.uFlags & NIF_ICON) {
        QIcon picture = icon_of(data.hIcon);
        if (!picture.isNull()) entry.icon->setIcon(picture);
    }
    entry.icon->setToolTip(entry.tip);
    if (data.uFlags & NIF_INFO)
        entry.icon->showMessage(bounded(data.szInfoTitle, 64), bounded(data.szInfo, 256));
    (void)key;
}

}  // namespace

extern "C" BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    if (!data || !IsWindow(data->hWnd)) return FALSE;
    ensure_application();
    TrayKey key{data->hWnd, data->uID};
    auto it = icons().find(key);
    switch (message) {
    case NIM_ADD: {
        if (it != icons().end()) return FALSE;
        TrayIcon& entry = icons()[key];
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            entry.icon = std::make_unique<QSystemTrayIcon>(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
            QObject::connect(entry.icon.get(), &QSystemTrayIcon::activated, [key](QSystemTrayIcon::ActivationReason why) {
                auto found = icons().find(key);
                if (found == icons().end() || !found->second.callback) return;
                LPARAM mouse = why == QSystemTrayIcon::DoubleClick ? WM_LBUTTONDBLCLK
                               : why == QSystemTrayIcon::Context   ? WM_RBUTTONUP
                                                                   : WM_LBUTTONUP;
                // The right button comes as its press and its release.
                if (mouse == WM_RBUTTONUP) PostMessageW(key.first, found->second.callback, key.second, WM_RBUTTONDOWN);
                PostMessageW(key.first, found->second.callback, key.second, mouse);
            });
            entry.icon->show();
        }
        apply(entry, *data, key);
        log_change("add", entry.tip);
        return TRUE;
    }
    case NIM_MODIFY:
        if (it == icons().end()) return FALSE;
        apply(it->second, *data, key);
        log_change("modify", it->second.tip);
        return TRUE;
    case NIM_DELETE:
        if (it == icons().end()) return FALSE;
        log_change("delete", it->second.tip);
        icons().erase(it);
        return TRUE;
    default:
        return FALSE;
    }
}
