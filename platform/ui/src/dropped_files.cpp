// Files dropped on a window: Qt's drop events as WM_DROPFILES with an HDROP.
#include "window_table.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <map>
#include <mutex>
#include <vector>

using namespace qorui;

namespace {

struct Drop {
    std::vector<std::u16string> paths;
    POINT point{};  // in the window's client coordinates
};

struct Drops {
    std::mutex lock;
    std::map<uintptr_t, Drop> open;
    uintptr_t next = 0x44000001;
};
Drops& drops() {
    static auto* all = new Drops;
    return *all;
}

std::vector<std::u16string> local_files(const QMimeData* data) {
    std::vector<std::u16string> paths;
    if (!data) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(to_u16(url.toLocalFile()));
    return paths;
}

class DropTarget : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (local_files(drag->mimeData()).empty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        if (event->type() != QEvent::Drop) return false;
        auto* drop = static_cast<QDropEvent*>(event);
        HWND window = handle_of(widget);
        auto paths = local_files(drop->mimeData());
        if (!window || paths.empty()) return false;
        drop->acceptProposedAction();
        QPoint at = drop->position().toPoint();
        HDROP handle;
        {
            std::lock_guard guard(drops().lock);
            uintptr_t number = drops().next;
            drops().next += 2;
            drops().open[number] = Drop{std::move(paths), POINT{at.x(), at.y()}};
            handle = reinterpret_cast<HDROP>(number);
        }
        SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
        return true;
    }
};

}  // namespace

extern "C" {

void DragAcceptFiles(HWND handle, BOOL accept) {
    static auto* target = new DropTarget;
    auto window = find_window(handle);
    if (!window || !window->widget) return;
    window->widget->setAcceptDrops(accept);
    if (accept) window->widget->installEventFilter(target);
    else window->widget->removeEventFilter(target);
    if (accept) window->ex_style |= WS_EX_ACCEPTFILES;
    else window->ex_style &= ~static_cast<DWORD>(WS_EX_ACCEPTFILES);
}

UINT DragQueryFileW(HDROP handle, UINT index, LPWSTR buffer, UINT size) {
    std::lock_guard guard(drops().lock);
    auto found = drops().open.find(reinterpret_cast<uintptr_t>(handle));
    if (found == drops().open.end()) return 0;
    const auto& paths = found->second.paths;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(paths.size());
    if (index >= paths.size()) return 0;
    const std::u16string& path = paths[index];
    if (!buffer || size == 0) return static_cast<UINT>(path.size());
    size_t units = std::min<size_t>(path.size(), size - 1);
    std::copy_n(path.data(), units, reinterpret_cast<char16_t*>(buffer));
    buffer[units] = 0;
    return static_cast<UINT>(units);
}

BOOL DragQueryPoint(HDROP handle, LPPOINT point) {
    std::lock_guard guard(drops().lock);
    auto found = drops().open.find(reinterpret_cast<uintptr_t>(handle));
    if (found == drops().open.end() || !point) return FALSE;
    *point = found->second.point;
    return TRUE;
}

void DragFinish(HDROP handle) {
    std::lock_guard guard(drops().lock);
    drops().open.erase(reinterpret_cast<uintptr_t>(handle));
}

}  // extern "C"
