#include "window_table.h"

#include "control.h"
#include "message_queue.h"

#include <QApplication>
#include <QCloseEvent>

#include <atomic>
#include <vector>

namespace qorui {
namespace {

std::mutex table_lock;
std::map<uintptr_t, std::shared_ptr<Window>>& table() {
    static auto* windows = new std::map<uintptr_t, std::shared_ptr<Window>>;
    return *windows;
}
// Handles are even numbers above the ordinal range, never reused within a
// process so a stale handle cannot reach a newer window.
std::atomic<uintptr_t> next_handle{0x10000};

int app_argc = 1;
char app_name[] = "qor";
char* app_argv[] = {app_name, nullptr};

}  // namespace

void ensure_application() {
    if (!QCoreApplication::instance()) new QApplication(app_argc, app_argv);
}

HWND add_window(std::shared_ptr<Window> window) {
    uintptr_t number = next_handle.fetch_add(2);
    window->handle = reinterpret_cast<HWND>(number);
    window->queue = current_queue();
    window->widget->setProperty("qor_hwnd", QVariant::fromValue<qulonglong>(number));
    std::lock_guard guard(table_lock);
    table()[number] = window;
    return window->handle;
}

std::shared_ptr<Window> find_window(HWND handle) {
    std::lock_guard guard(table_lock);
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end()) return nullptr;
    return it->second;
}

void remove_window(HWND handle) {
    std::shared_ptr<Window> gone;
    std::lock_guard guard(table_lock);
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end()) return;
    gone = std::move(it->second);
    table().erase(it);
}

std::vector<std::shared_ptr<Window>> child_windows(HWND parent) {
    std::vector<std::shared_ptr<Window>> children;
    std::lock_guard guard(table_lock);
    for (auto& [number, window] : table())
        if (window->parent == parent) children.push_back(window);
    return children;
}

std::vector<std::shared_ptr<Window>> all_windows() {
    std::vector<std::shared_ptr<Window>> windows;
    std::lock_guard guard(table_lock);
    for (auto& [number, window] : table()) windows.push_back(window);
    return windows;
}

HWND handle_of(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        QVariant number = widget->property("qor_hwnd");
        if (number.isValid()) return reinterpret_cast<HWND>(static_cast<uintptr_t>(number.toULongLong()));
    }
    return nullptr;
}

std::shared_ptr<MessageQueue> current_queue() {
    thread_local std::shared_ptr<MessageQueue> queue;
    if (!queue) {
        ensure_application();
        queue = std::make_shared<MessageQueue>();
        watch_session_end();
    }
    return queue;
}

void close_through_procedure(QWidget* widget, QCloseEvent* event) {
    event->ignore();
    if (HWND self = handle_of(widget)) SendMessageW(self, WM_CLOSE, 0, 0);
}

void notify_parent(const Window& control, UINT code) {
    if (!control.parent) return;
    SendMessageW(control.parent, WM_COMMAND, static_cast<WPARAM>(MAKELONG(control.id, code)),
                 reinterpret_cast<LPARAM>(control.handle));
}

QString to_qstring(LPCWSTR text) {
    if (!text) return {};
    return QString::fromUtf16(text);
}

std::u16string to_u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

int copy_text(const QString& text, LPWSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    int count = std::min<int>(static_cast<int>(text.size()), size - 1);
    std::copy_n(reinterpret_cast<const WCHAR*>(text.utf16()), count, buffer);
    buffer[count] = 0;
    return count;
}

}  // namespace qorui
