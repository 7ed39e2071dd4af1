// The process's menus: handle numbers over lists of items. Qt menus are
// built from a snapshot of a list whenever one shows (menu_widgets.cpp).
#pragma once

#include "qor/ui/windows.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qorui {

struct MenuEntry {
    UINT flags = 0;        // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR
    UINT_PTR id = 0;       // command id
    HMENU popup = nullptr; // the submenu of an MF_POPUP item
    std::u16string text;
};

HMENU new_menu(bool bar);
bool menu_exists(HMENU menu);
// A copy of the menu's items; nullopt for an unknown handle.
std::optional<std::vector<MenuEntry>> menu_entries(HMENU menu);

// Where an item is: its menu and position. MF_BYCOMMAND searches the
// submenus depth first.
struct MenuPlace {
    HMENU menu = nullptr;
    size_t position = 0;
};
std::optional<MenuPlace> find_item(HMENU menu, UINT item, UINT flags);
// Finds the (first) item with this command id anywhere below `menu`.
std::optional<MenuPlace> find_command(HMENU menu, UINT_PTR id);
// The submenu holding `child` directly, with the item's position.
std::optional<MenuPlace> find_parent(HMENU root, HMENU child);

// Calls `change` on the item under the table's lock; false if absent.
bool change_entry(const MenuPlace& place, const std::function<void(MenuEntry&)>& change);
bool insert_entry(HMENU menu, size_t position, MenuEntry entry);
std::optional<MenuEntry> take_entry(const MenuPlace& place);
bool remove_menu(HMENU menu);

// Rebuilds the Qt menus showing `menu` (menu_widgets.cpp).
void menu_changed(HMENU menu);

}  // namespace qorui
