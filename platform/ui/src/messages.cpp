// Sending, posting and the message loop.
#include "control.h"
#include "message_queue.h"
#include "remote_windows.h"
#include "window_table.h"

#include <QCoreApplication>
#include <QDateTime>

using namespace qorui;

namespace {

// Messages whose dialog-procedure result is the message's own result
// rather than DWLP_MSGRESULT.
bool returns_directly(UINT message) {
    return message == WM_INITDIALOG;
}

LRESULT default_dialog_proc(Window& window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CLOSE:
        // A dialog closes through its Cancel command; the procedure decides.
        PostMessageW(window.handle, WM_COMMAND, IDCANCEL, 0);
        return 0;
    default:
        return DefWindowProcW(window.handle, message, wparam, lparam);
    }
}

LRESULT call_window(Window& window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window.dlgproc) {
        window.message_result = 0;
        INT_PTR handled = window.dlgproc(window.handle, message, wparam, lparam);
        if (handled) return returns_directly(message) ? handled : window.message_result;
        if (message == WM_INITDIALOG) return TRUE;
        return default_dialog_proc(window, message, wparam, lparam);
    }
    if (window.wndproc) return window.wndproc(window.handle, message, wparam, lparam);
    return DefWindowProcW(window.handle, message, wparam, lparam);
}

}  // namespace

extern "C" {

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    auto window = find_window(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!window->queue->owned_by_this_thread()) {
        // Another thread's window: its own thread runs the procedure.
        LRESULT result = 0;
        window->queue->call_in_owner([&] { result = call_window(*window, message, wparam, lparam); });
        return result;
    }
    if (window->wndproc == nullptr && window->dlgproc == nullptr && window->control) {
        bool handled = true;
        LRESULT result = window->control->handle(*window, message, wparam, lparam, handled);
        if (handled) return result;
        return DefWindowProcW(handle, message, wparam, lparam);
    }
    return call_window(*window, message, wparam, lparam);
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return proc ? proc(window, message, wparam, lparam) : 0;
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG posted{handle, message, wparam, lparam, static_cast<DWORD>(QDateTime::currentMSecsSinceEpoch()), {0, 0}};
    if (!handle) {
        current_queue()->post(posted);
        return TRUE;
    }
    if (is_remote(handle)) return remote_post(handle, message, wparam, lparam);
    auto window = find_window(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->queue->post(posted);
    return TRUE;
}

void PostQuitMessage(int exit_code) {
    auto queue = current_queue();
    {
        std::lock_guard guard(queue->lock);
        queue->quit = true;
        queue->quit_code = exit_code;
    }
    PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes a waiting GetMessage
}

BOOL PeekMessageW(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
    auto queue = current_queue();
    QCoreApplication::sendPostedEvents();
    queue->run_calls();  // sends from other threads are answered, never returned
    if (queue->take(*message, window, first, last, remove & PM_REMOVE)) return TRUE;
    std::lock_guard guard(queue->lock);
    if (queue->quit) {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quit_code), 0, 0, {0, 0}};
        if (remove & PM_REMOVE) queue->quit = false;
        return TRUE;
    }
    return FALSE;
}

BOOL GetMessageW(LPMSG message, HWND window, UINT first, UINT last) {
    auto queue = current_queue();
    for (;;) {
        if (queue->take(*message, window, first, last, true)) {
            if (message->message != WM_NULL || message->hwnd) return TRUE;
        }
        {
            std::lock_guard guard(queue->lock);
            if (queue->quit && queue->messages.empty()) {
                queue->quit = false;
                *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quit_code), 0, 0, {0, 0}};
                return FALSE;
            }
            ++queue->waiting;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::lock_guard guard(queue->lock);
        --queue->waiting;
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* message) {
    if (!message->hwnd) return 0;  // thread messages have no procedure
    if (message->message == WM_TIMER && message->lParam) {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, message->time);
        return 0;
    }
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

}  // extern "C"
