#include "menu_table.h"

#include <map>
#include <mutex>

namespace qorui {
namespace {

struct MenuData {
    bool bar = false;
    std::vector<MenuEntry> entries;
};

std::mutex table_lock;
std::map<uintptr_t, MenuData>& table() {
    static auto* menus = new std::map<uintptr_t, MenuData>;
    return *menus;
}
// Menu handles count apart from window handles, so one is never taken for
// the other.
uintptr_t next_handle = 0x4D000001;

MenuData* lookup(HMENU menu) {
    auto found = table().find(reinterpret_cast<uintptr_t>(menu));
    return found == table().end() ? nullptr : &found->second;
}

// Depth first, under the lock; `depth` bounds menus that hold themselves.
std::optional<MenuPlace> search(HMENU menu, const std::function<bool(const MenuEntry&)>& wanted, int depth) {
    MenuData* data = lookup(menu);
    if (!data || depth > 16) return std::nullopt;
    for (size_t k = 0; k < data->entries.size(); ++k) {
        const MenuEntry& entry = data->entries[k];
        if (wanted(entry)) return MenuPlace{menu, k};
        if (entry.flags & MF_POPUP)
            if (auto inner = search(entry.popup, wanted, depth + 1)) return inner;
    }
    return std::nullopt;
}

}  // namespace

HMENU new_menu(bool bar) {
    std::lock_guard guard(table_lock);
    uintptr_t number = next_handle;
    next_handle += 2;
    table()[number] = MenuData{bar, {}};
    return reinterpret_cast<HMENU>(number);
}

bool menu_exists(HMENU menu) {
    std::lock_guard guard(table_lock);
    return lookup(menu) != nullptr;
}

std::optional<std::vector<MenuEntry>> menu_entries(HMENU menu) {
    std::lock_guard guard(table_lock);
    MenuData* data = lookup(menu);
    if (!data) return std::nullopt;
    return data->entries;
}

std::optional<MenuPlace> find_item(HMENU menu, UINT item, UINT flags) {
    std::lock_guard guard(table_lock);
    if (flags & MF_BYPOSITION) {
        MenuData* data = lookup(menu);
        if (!data || item >= data->entries.size()) return std::nullopt;
        return MenuPlace{menu, item};
    }
    return search(menu, [item](const MenuEntry& e) { return !(e.flags & (MF_POPUP | MF_SEPARATOR)) && e.id == item; }, 0);
}

std::optional<MenuPlace> find_command(HMENU menu, UINT_PTR id) {
    std::lock_guard guard(table_lock);
    return search(menu, [id](const MenuEntry& e) { return !(e.flags & (MF_POPUP | MF_SEPARATOR)) && e.id == id; }, 0);
}

std::optional<MenuPlace> find_parent(HMENU root, HMENU child) {
    std::lock_guard guard(table_lock);
    return search(root, [child](const MenuEntry& e) { return (e.flags & MF_POPUP) && e.popup == child; }, 0);
}

bool change_entry(const MenuPlace& place, const std::function<void(MenuEntry&)>& change) {
    {
        std::lock_guard guard(table_lock);
        MenuData* data = lookup(place.menu);
        if (!data || place.position >= data->entries.size()) return false;
        change(data->entries[place.position]);
    }
    menu_changed(place.menu);
    return true;
}

bool insert_entry(HMENU menu, size_t position, MenuEntry entry) {
    {
        std::lock_guard guard(table_lock);
        MenuData* data = lookup(menu);
        if (!data) return false;
        if ((entry.flags & MF_POPUP) && !lookup(entry.popup)) return false;
        position = std::min(position, data->entries.size());
        data->entries.insert(data->entries.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
    }
    menu_changed(menu);
    return true;
}

std::optional<MenuEntry> take_entry(const MenuPlace& place) {
    std::optional<MenuEntry> taken;
    {
        std::lock_guard guard(table_lock);
        MenuData* data = lookup(place.menu);
        if (!data || place.position >= data->entries.size()) return std::nullopt;
        taken = std::move(data->entries[place.position]);
        data->entries.erase(data->entries.begin() + static_cast<std::ptrdiff_t>(place.position));
    }
    menu_changed(place.menu);
    return taken;
}

bool remove_menu(HMENU menu) {
    std::vector<HMENU> submenus;
    {
        std::lock_guard guard(table_lock);
        MenuData* data = lookup(menu);
        if (!data) return false;
        for (const MenuEntry& entry : data->entries)
            if (entry.flags & MF_POPUP) submenus.push_back(entry.popup);
        table().erase(reinterpret_cast<uintptr_t>(menu));
    }
    for (HMENU submenu : submenus) remove_menu(submenu);
    menu_changed(menu);
    return true;
}

}  // namespace qorui
