// The system menu: the items a program appends, opened by a right click
// on the window's background or Alt+Space, chosen as WM_SYSCOMMAND.
#include "menu_table.h"
#include "popup_menus.h"
#include "system_menu.h"
#include "window_table.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

namespace qorui {
namespace {

class SystemMenuOpener : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        HWND window = widget ? handle_of(widget) : nullptr;
        if (!window) return false;
        QPoint at;
        if (event->type() == QEvent::ContextMenu) {
            at = static_cast<QContextMenuEvent*>(event)->globalPos();
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Space || key->modifiers() != Qt::AltModifier) return false;
            at = widget->mapToGlobal(QPoint(0, 0));
        } else {
            return false;
        }
        SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window),
                     MAKELONG(static_cast<WORD>(at.x()), static_cast<WORD>(at.y())));
        return true;
    }
};

}  // namespace

bool open_system_menu(HWND handle, LPARAM position) {
    auto window = find_window(handle);
    if (!window || !window->system_menu || !window->widget) return false;
    auto items = menu_entries(window->system_menu);
    if (!items || items->empty()) return false;
    QPoint at(static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position)));
    if (position == -1) at = window->widget->mapToGlobal(QPoint(0, 0));
    UINT_PTR chosen = track_menu(window->system_menu, MenuUse{handle, true, true, false}, at);
    if (chosen) PostMessageW(handle, WM_SYSCOMMAND, chosen, position);
    return true;
}

}  // namespace qorui

using namespace qorui;

extern "C" {

HMENU GetSystemMenu(HWND handle, BOOL revert) {
    auto window = find_window(handle);
    if (!window || !window->widget) return nullptr;
    if (revert) {
        if (window->system_menu) DestroyMenu(window->system_menu);
        window->system_menu = nullptr;
        return nullptr;
    }
    if (!window->system_menu) {
        static auto* opener = new SystemMenuOpener;
        window->system_menu = CreatePopupMenu();
        window->widget->installEventFilter(opener);
    }
    return window->system_menu;
}

}  // extern "C"
