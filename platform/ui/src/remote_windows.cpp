#include "remote_windows.h"

#include "qor/ui/shared_broadcast.h"
#include "qor/ui/window_directory.h"

#include <QEvent>
#include <QSocketNotifier>

#include <unistd.h>

using namespace qorui;
namespace windir = qor::windir;

namespace {

struct RemoteHandle {
    uint32_t pid;
    uint64_t handle;
    bool operator<(const RemoteHandle& other) const {
        return pid != other.pid ? pid < other.pid : handle < other.handle;
    }
};

// Remote handles are odd, local ones even; both only grow.
std::mutex remote_lock;
std::map<uintptr_t, RemoteHandle> remote_by_number;
std::map<RemoteHandle, uintptr_t> number_by_remote;
uintptr_t next_remote = 0x10001;

uint32_t own_pid() { return static_cast<uint32_t>(getpid()); }

HWND handle_for(const windir::WindowRecord& record) {
    if (record.pid == own_pid()) return reinterpret_cast<HWND>(static_cast<uintptr_t>(record.handle));
    std::lock_guard guard(remote_lock);
    RemoteHandle key{record.pid, record.handle};
    auto it = number_by_remote.find(key);
    if (it != number_by_remote.end()) return reinterpret_cast<HWND>(it->second);
    uintptr_t number = next_remote;
    next_remote += 2;
    remote_by_number[number] = key;
    number_by_remote[key] = number;
    return reinterpret_cast<HWND>(number);
}

std::optional<RemoteHandle> remote_of(HWND window) {
    std::lock_guard guard(remote_lock);
    auto it = remote_by_number.find(reinterpret_cast<uintptr_t>(window));
    if (it == remote_by_number.end()) return std::nullopt;
    return it->second;
}

std::optional<windir::WindowRecord> remote_record(HWND window) {
    auto remote = remote_of(window);
    if (!remote) return std::nullopt;
    for (auto& record : windir::list())
        if (record.pid == remote->pid && record.handle == remote->handle) return record;
    return std::nullopt;
}

void serve(const windir::Packet& packet) {
    HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(packet.handle));
    if (!find_window(target)) return;
    switch (packet.request) {
    case windir::Request::kPost:
        if (packet.has_text)
            SendMessageW(target, packet.message, packet.wparam, reinterpret_cast<LPARAM>(packet.text.c_str()));
        else
            PostMessageW(target, packet.message, packet.wparam, packet.lparam);
        break;
    case windir::Request::kActivate: SetForegroundWindow(target); break;
    case windir::Request::kRestore: ShowWindow(target, SW_RESTORE); break;
    case windir::Request::kScreenshot:
        QorUiScreenshot(target, QString::fromStdU16String(packet.text).toUtf8().constData());
        break;
    }
}

// Keeps records in step with what the window shows.
class StateWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::WindowStateChange)
            if (HWND window = handle_of(qobject_cast<QWidget*>(watched))) window_changed(window);
        return false;
    }
};

// A setting change from the shared folder goes to every top-level window
// of this process.
void serve_shared(windir::Packet packet) {
    const uint32_t pid = own_pid();
    for (const windir::WindowRecord& record : windir::list()) {
        if (record.pid != pid) continue;
        packet.handle = record.handle;
        serve(packet);
    }
}

template <class Receive, class Serve>
void watch(int fd, Receive receive, Serve serve_packet) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [fd, receive, serve_packet] {
        for (int i = 0; i < 64; ++i) {
            auto packet = receive(fd);
            if (!packet) break;
            serve_packet(*packet);
        }
    });
}

void start_listening() {
    static bool started = [] {
        int fd = windir::listener();
        if (fd < 0) return false;
        watch(fd, windir::receive, serve);
        // Under the system spooler its broadcasts come through the shared folder.
        if (int shared = windir::shared_listener(); shared >= 0) watch(shared, windir::receive_shared, serve_shared);
        return true;
    }();
    (void)started;
}

}  // namespace

void qorui::window_changed(HWND handle) {
    auto window = find_window(handle);
    if (!window || !window->widget || !window->widget->isWindow() || window->destroying) return;
    if (!window->widget->property("qor_watched").isValid()) {
        static auto* watcher = new StateWatcher;
        window->widget->installEventFilter(watcher);
        window->widget->setProperty("qor_watched", true);
        start_listening();
    }
    windir::WindowRecord record;
    record.pid = own_pid();
    record.handle = reinterpret_cast<uintptr_t>(handle);
    record.flags = (window->widget->isVisible() ? windir::kVisible : 0u) |
                   (window->widget->isMinimized() ? windir::kIconic : 0u);
    record.class_name = window->class_name;
    record.title = to_u16(window->widget->windowTitle());
    for (auto& [name, value] : window->properties)
        record.properties.emplace_back(name, reinterpret_cast<uintptr_t>(value));
    windir::publish(record);
}

void qorui::window_gone(HWND handle) { windir::withdraw(reinterpret_cast<uintptr_t>(handle)); }

bool qorui::is_remote(HWND window) { return (reinterpret_cast<uintptr_t>(window) & 1) != 0; }

BOOL qorui::remote_post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto remote = remote_of(window);
    windir::Packet packet;
    packet.request = windir::Request::kPost;
    packet.message = message;
    packet.wparam = wparam;
    packet.lparam = lparam;
    if (remote) packet.handle = remote->handle;
    if (!remote || !windir::send(remote->pid, packet)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL qorui::remote_activate(HWND window, bool restore) {
    auto remote = remote_of(window);
    windir::Packet packet;
    packet.request = restore ? windir::Request::kRestore : windir::Request::kActivate;
    if (remote) packet.handle = remote->handle;
    return remote && windir::send(remote->pid, packet);
}

bool qorui::remote_record_flags(HWND window, uint32_t& flags) {
    auto record = remote_record(window);
    if (!record) return false;
    flags = record->flags;
    return true;
}

HANDLE qorui::remote_property(HWND window, LPCWSTR name) {
    auto record = remote_record(window);
    if (!record || !name) return nullptr;
    std::u16string wanted = to_u16(to_qstring(name));
    for (auto& [property, value] : record->properties)
        if (property == wanted) return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
    return nullptr;
}

extern "C" {

HWND FindWindowW(LPCWSTR class_name, LPCWSTR title) {
    QString wanted_class = to_qstring(class_name), wanted_title = to_qstring(title);
    for (auto& record : windir::list()) {
        if (class_name && QString::fromStdU16String(record.class_name).compare(wanted_class, Qt::CaseInsensitive) != 0)
            continue;
        if (title && QString::fromStdU16String(record.title) != wanted_title) continue;
        return handle_for(record);
    }
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    for (auto& record : windir::list())
        if (!proc(handle_for(record), param)) return FALSE;
    return TRUE;
}

HWND GetLastActivePopup(HWND window) { return window; }

BOOL QorUiRequestScreenshot(HWND window, const char* png_path) {
    auto remote = remote_of(window);
    if (!remote || !png_path) return QorUiScreenshot(window, png_path);
    windir::Packet packet;
    packet.request = windir::Request::kScreenshot;
    packet.handle = remote->handle;
    packet.has_text = true;
    packet.text = to_u16(QString::fromUtf8(png_path));
    return windir::send(remote->pid, packet);
}

int QorUiBroadcastSettingChange(LPCWSTR section) {
    return windir::broadcast(WM_SETTINGCHANGE, 0, to_u16(to_qstring(section)));
}

}  // extern "C"
