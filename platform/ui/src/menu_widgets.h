// Qt menus built from the menu table: pop-ups that rebuild themselves each
// time they show, and the menu bars of top-level windows.
#pragma once

#include "qor/ui/windows.h"

#include <QMenu>

namespace qorui {

struct MenuUse {
    HWND owner = nullptr;
    bool system = false;  // the system menu: WM_SYSCOMMAND, MF_SYSMENU
    bool notify = true;   // WM_INITMENUPOPUP and WM_MENUSELECT to the owner
    bool post = true;     // a chosen item posts its command to the owner
};

// A pop-up for `menu`; before it shows it asks the owner (WM_INITMENUPOPUP,
// lParam's low word `index`) and rebuilds its items from the table.
QMenu* make_menu(HMENU menu, const MenuUse& use, int index, QWidget* parent);
// The command id an action of such a menu stands for (0 for none).
UINT_PTR command_of(const QAction* action);

// WM_MENUSELECT for an item, and the one that ends a menu.
void send_menu_select(const MenuUse& use, HMENU menu, UINT item, UINT flags);
void send_menu_closed(const MenuUse& use);
// WM_INITMENUPOPUP for `menu`, the `index`-th item of its parent.
void send_init_popup(const MenuUse& use, HMENU menu, int index);

}  // namespace qorui
