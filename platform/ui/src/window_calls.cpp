// Calls on any window: text, state, geometry, properties, destruction.
#include "control.h"
#include "remote_windows.h"
#include "system_menu.h"
#include "window_fonts.h"
#include "window_table.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>

#include "qor/ui/window_directory.h"

#include <utility>

using namespace qorui;

namespace {

QString window_text(Window& window) {
    if (window.control) return window.control->text();
    return window.widget ? window.widget->windowTitle() : QString();
}

// Destroys children first with WM_DESTROY, as their parent still exists
// while they hear it.
void destroy_tree(const std::shared_ptr<Window>& window) {
    window->destroying = true;
    SendMessageW(window->handle, WM_DESTROY, 0, 0);
    for (auto& child : child_windows(window->handle)) destroy_tree(child);
    kill_window_timers(window->handle);
    window_gone(window->handle);
    // Owned top-level windows (tool tips, pop-ups) are not Qt children of
    // the owner's widget, so they go by themselves.
    if (window->widget && window->widget->isWindow()) {
        window->widget->hide();
        window->widget->deleteLater();
    }
    remove_window(window->handle);
}

}  // namespace

extern "C" {

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    auto window = find_window(handle);
    if (!window) return 0;
    bool font_handled = false;
    LRESULT font_result = font_message(*window, message, wparam, lparam, font_handled);
    if (font_handled) return font_result;
    switch (message) {
    case WM_SETTEXT:
        if (window->control)
            window->control->set_text(to_qstring(reinterpret_cast<LPCWSTR>(lparam)));
        else if (window->widget)
            window->widget->setWindowTitle(to_qstring(reinterpret_cast<LPCWSTR>(lparam)));
        window_changed(handle);
        return TRUE;
    case WM_GETTEXT:
        return copy_text(window_text(*window), reinterpret_cast<LPWSTR>(lparam), static_cast<int>(wparam));
    case WM_GETTEXTLENGTH:
        return window_text(*window).size();
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wparam) == handle) open_system_menu(handle, lparam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
        else if ((wparam & 0xFFF0) == SC_MINIMIZE) ShowWindow(handle, SW_MINIMIZE);
        else if ((wparam & 0xFFF0) == SC_RESTORE) ShowWindow(handle, SW_RESTORE);
        return 0;
    default:
        return 0;
    }
}

BOOL IsWindow(HWND window) {
    uint32_t flags;
    return find_window(window) != nullptr || (is_remote(window) && remote_record_flags(window, flags));
}

BOOL DestroyWindow(HWND handle) {
    auto window = find_window(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    QPointer<QWidget> widget = window->widget;
    destroy_tree(window);
    // A window's menu bar and system menu go with it.
    for (HMENU* menu : {&window->menu, &window->system_menu})
        if (*menu) DestroyMenu(std::exchange(*menu, nullptr));
    if (window->modal_loop) {
        window->ended = true;
        window->modal_loop->quit();
    }
    if (widget) {
        widget->hide();
        widget->deleteLater();
    }
    return TRUE;
}

HWND GetParent(HWND handle) {
    auto window = find_window(handle);
    return window ? window->parent : nullptr;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    return static_cast<BOOL>(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    std::u16string wide = to_u16(QString::fromUtf8(text ? text : ""));
    return SetWindowTextW(window, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
    return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextA(HWND handle, LPSTR buffer, int size) {
    auto window = find_window(handle);
    if (!window || !buffer || size <= 0) return 0;
    QByteArray text = window_text(*window).toUtf8();
    int count = std::min<int>(static_cast<int>(text.size()), size - 1);
    std::copy_n(text.constData(), count, buffer);
    buffer[count] = 0;
    return count;
}

int GetWindowTextLengthW(HWND window) { return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)); }

BOOL EnableWindow(HWND handle, BOOL enable) {
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    bool was_disabled = !window->widget->isEnabled();
    window->widget->setEnabled(enable != FALSE);
    return was_disabled;
}

BOOL IsWindowEnabled(HWND handle) {
    auto window = find_window(handle);
    return window && window->widget && window->widget->isEnabled();
}

BOOL IsWindowVisible(HWND handle) {
    auto window = find_window(handle);
    return window && window->widget && window->widget->isVisible();
}

BOOL ShowWindow(HWND handle, int command) {
    if (is_remote(handle)) return remote_activate(handle, command == SW_RESTORE);
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    QWidget* widget = window->widget;
    BOOL was_visible = widget->isVisible();
    switch (command) {
    case SW_HIDE: widget->hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: widget->showMinimized(); break;
    case SW_SHOWMAXIMIZED: widget->showMaximized(); break;
    case SW_RESTORE:
        widget->setWindowState(widget->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        widget->show();
        break;
    default: widget->show(); break;
    }
    return was_visible;
}

BOOL IsIconic(HWND handle) {
    uint32_t flags = 0;
    if (is_remote(handle)) return remote_record_flags(handle, flags) && (flags & qor::windir::kIconic);
    auto window = find_window(handle);
    return window && window->widget && window->widget->isMinimized();
}

HWND SetFocus(HWND handle) {
    HWND previous = GetFocus();
    auto window = find_window(handle);
    if (window && window->widget) window->widget->setFocus(Qt::OtherFocusReason);
    return previous;
}

HWND GetFocus(void) { return handle_of(QApplication::focusWidget()); }

BOOL SetForegroundWindow(HWND handle) {
    if (is_remote(handle)) return remote_activate(handle, false);
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    QWidget* top = window->widget->window();
    top->show();
    top->raise();
    top->activateWindow();
    return TRUE;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    auto window = find_window(handle);
    if (!window || !window->widget || !rect) return FALSE;
    QRect frame = window->widget->geometry();
    QPoint origin = window->widget->mapToGlobal(QPoint(0, 0));
    *rect = RECT{origin.x(), origin.y(), origin.x() + frame.width(), origin.y() + frame.height()};
    return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    auto window = find_window(handle);
    if (!window || !window->widget || !rect) return FALSE;
    // A list's client area is inside its border and scroll bars.
    const QWidget* client = client_widget(*window);
    if (auto* area = qobject_cast<const QAbstractScrollArea*>(client)) client = area->viewport();
    *rect = RECT{0, 0, client->width(), client->height()};
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL) {
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    window->widget->setGeometry(x, y, width, height);
    return TRUE;
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
    auto window = find_window(handle);
    if (!window) return 0;
    switch (index) {
    case GWLP_USERDATA: return window->user_data;
    case GWLP_ID: return window->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window->ex_style);
    case DWLP_MSGRESULT: return window->message_result;
    case DWLP_USER: return window->dialog_user;
    default: return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
    auto window = find_window(handle);
    if (!window) return 0;
    LONG_PTR previous = GetWindowLongPtrW(handle, index);
    switch (index) {
    case GWLP_USERDATA: window->user_data = value; break;
    case GWLP_ID: window->id = static_cast<int>(value); break;
    case DWLP_MSGRESULT: window->message_result = value; break;
    case DWLP_USER: window->dialog_user = value; break;
    default: return 0;
    }
    return previous;
}

BOOL SetPropW(HWND handle, LPCWSTR name, HANDLE data) {
    auto window = find_window(handle);
    if (!window || !name) return FALSE;
    window->properties[to_u16(to_qstring(name))] = data;
    window_changed(handle);
    return TRUE;
}

HANDLE GetPropW(HWND handle, LPCWSTR name) {
    if (is_remote(handle)) return remote_property(handle, name);
    auto window = find_window(handle);
    if (!window || !name) return nullptr;
    auto it = window->properties.find(to_u16(to_qstring(name)));
    return it == window->properties.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND handle, LPCWSTR name) {
    auto window = find_window(handle);
    if (!window || !name) return nullptr;
    auto it = window->properties.find(to_u16(to_qstring(name)));
    if (it == window->properties.end()) return nullptr;
    HANDLE data = it->second;
    window->properties.erase(it);
    window_changed(handle);
    return data;
}

}  // extern "C"
