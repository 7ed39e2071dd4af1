// The process's windows: handle numbers over widgets, their procedures,
// properties and the per-thread posted-message queues.
#pragma once

#include "qor/ui/windows.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class QCloseEvent;
class QEventLoop;

namespace qorui {

class Control;
struct MessageQueue;

struct Window {
    HWND handle = nullptr;
    QPointer<QWidget> widget;
    // Where children go when it differs from `widget` (a frame with a menu
    // bar keeps its children below the bar).
    QPointer<QWidget> client;
    HMENU menu = nullptr;         // the menu bar
    HMENU system_menu = nullptr;  // created by GetSystemMenu
    HWND parent = nullptr;
    std::u16string class_name;
    WNDPROC wndproc = nullptr;
    DLGPROC dlgproc = nullptr;
    std::unique_ptr<Control> control;  // built-in control behaviour, if any
    int id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    LONG_PTR user_data = 0;
    LONG_PTR dialog_user = 0;
    LONG_PTR message_result = 0;
    std::map<std::u16string, HANDLE> properties;
    std::shared_ptr<MessageQueue> queue;  // of the thread that created it
    // Dialogs: the modal loop and its result.
    bool is_dialog = false;
    bool ended = false;
    INT_PTR dialog_result = 0;
    QEventLoop* modal_loop = nullptr;
    bool destroying = false;
};

// The widget that a window's children, and its client rectangle, belong to.
inline QWidget* client_widget(const Window& window) {
    return window.client ? window.client.data() : window.widget.data();
}

// The Qt application, created on first use when the program made none.
void ensure_application();
// Turns the session manager's end-of-session request into the messages.
void watch_session_end();

// Adds a window; the widget must exist. Returns its new handle.
HWND add_window(std::shared_ptr<Window> window);
std::shared_ptr<Window> find_window(HWND handle);
void remove_window(HWND handle);
// Children of `parent`, in creation order.
std::vector<std::shared_ptr<Window>> child_windows(HWND parent);
std::vector<std::shared_ptr<Window>> all_windows();
HWND handle_of(const QWidget* widget);

// The calling thread's queue of posted messages.
std::shared_ptr<MessageQueue> current_queue();

// A top-level widget's close request goes to its window procedure as
// WM_CLOSE, which decides; the widget itself stays.
void close_through_procedure(QWidget* widget, QCloseEvent* event);

// Stops every timer of a window being destroyed.
void kill_window_timers(HWND window);

// Sends WM_COMMAND with a notification code from a control to its parent.
void notify_parent(const Window& control, UINT code);

QString to_qstring(LPCWSTR text);
std::u16string to_u16(const QString& text);
// Copies text into a caller's buffer of `size` units, truncated and
// terminated; returns the units copied.
int copy_text(const QString& text, LPWSTR buffer, int size);

}  // namespace qorui
