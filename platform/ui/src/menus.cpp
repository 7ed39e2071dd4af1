// Menu items: creating, changing and reading menus, and menus from
// templates.
#include "menu_table.h"
#include "templates.h"
#include "window_table.h"

using namespace qorui;

namespace {

constexpr UINT kNoItem = static_cast<UINT>(-1);
constexpr UINT kEnableBits = MF_GRAYED | MF_DISABLED;

std::optional<MenuEntry> entry_from(UINT flags, UINT_PTR id, LPCWSTR text) {
    MenuEntry entry;
    entry.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
    if (flags & MF_POPUP) {
        entry.popup = reinterpret_cast<HMENU>(id);
        if (!menu_exists(entry.popup)) return std::nullopt;
    } else {
        entry.id = id;
    }
    if (!(flags & MF_SEPARATOR) && text) entry.text = reinterpret_cast<const char16_t*>(text);
    return entry;
}

// The items of a template level, appended to `menu`.
bool fill(HMENU menu, const std::vector<qorui::MenuItem>& items) {
    for (const qorui::MenuItem& item : items) {
        UINT flags = item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP);
        UINT_PTR id = item.id;
        if (item.flags & MF_POPUP) {
            HMENU popup = CreatePopupMenu();
            if (!fill(popup, item.children)) return false;
            id = reinterpret_cast<UINT_PTR>(popup);
        } else if (item.id == 0 && item.text.empty()) {
            flags |= MF_SEPARATOR;  // how a template writes a separator
        }
        if (!AppendMenuW(menu, flags, id, reinterpret_cast<LPCWSTR>(item.text.c_str()))) return false;
    }
    return true;
}

}  // namespace

extern "C" {

HMENU CreateMenu(void) { return new_menu(true); }
HMENU CreatePopupMenu(void) { return new_menu(false); }

BOOL DestroyMenu(HMENU menu) {
    if (remove_menu(menu)) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL IsMenu(HMENU menu) { return menu_exists(menu); }

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
    auto entry = entry_from(flags, id, text);
    auto items = menu_entries(menu);
    if (!entry || !items) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t at = items->size();
    if (flags & MF_BYPOSITION) {
        if (position != kNoItem) at = position;
    } else {
        auto place = find_item(menu, position, MF_BYCOMMAND);
        if (!place) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return insert_entry(place->menu, place->position, std::move(*entry));
    }
    return insert_entry(menu, at, std::move(*entry));
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
    return InsertMenuW(menu, kNoItem, flags | MF_BYPOSITION, id, text);
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    std::u16string wide = to_u16(QString::fromUtf8(text && !(flags & MF_SEPARATOR) ? text : ""));
    return AppendMenuW(menu, flags, id, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    auto place = find_item(menu, position, flags);
    auto taken = place ? take_entry(*place) : std::nullopt;
    if (!taken) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (taken->flags & MF_POPUP) remove_menu(taken->popup);
    return TRUE;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    auto place = find_item(menu, item, enable);
    UINT previous = kNoItem;
    if (place) change_entry(*place, [&](MenuEntry& e) {
        previous = e.flags & kEnableBits;
        e.flags = (e.flags & ~kEnableBits) | (enable & kEnableBits);
    });
    return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    auto place = find_item(menu, item, check);
    DWORD previous = kNoItem;
    if (place) change_entry(*place, [&](MenuEntry& e) {
        previous = e.flags & MF_CHECKED;
        e.flags = (e.flags & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
    });
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    auto place = find_item(menu, item, flags);
    auto items = place ? menu_entries(place->menu) : std::nullopt;
    return items ? (*items)[place->position].flags : kNoItem;
}

HMENU GetSubMenu(HMENU menu, int position) {
    auto items = menu_entries(menu);
    if (!items || position < 0 || static_cast<size_t>(position) >= items->size()) return nullptr;
    return (*items)[static_cast<size_t>(position)].popup;
}

int GetMenuItemCount(HMENU menu) {
    auto items = menu_entries(menu);
    if (!items) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return static_cast<int>(items->size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    auto items = menu_entries(menu);
    if (!items || position < 0 || static_cast<size_t>(position) >= items->size()) return kNoItem;
    const MenuEntry& entry = (*items)[static_cast<size_t>(position)];
    return (entry.flags & MF_POPUP) ? kNoItem : static_cast<UINT>(entry.id);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int size, UINT flags) {
    auto place = find_item(menu, item, flags);
    auto items = place ? menu_entries(place->menu) : std::nullopt;
    if (!items) return 0;
    QString text = QString::fromStdU16String((*items)[place->position].text);
    if (!buffer || size <= 0) return static_cast<int>(text.size());
    return copy_text(text, buffer, size);
}

HMENU LoadMenuIndirectW(const void* menu_template, DWORD size) {
    auto items = menu_template ? read_menu_template(static_cast<const uint8_t*>(menu_template), size) : std::nullopt;
    if (!items) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HMENU menu = CreateMenu();
    if (!fill(menu, *items)) {
        DestroyMenu(menu);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return menu;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(4));
    if (!resource) return nullptr;
    const void* data = LockResource(LoadResource(instance, resource));
    return LoadMenuIndirectW(data, SizeofResource(instance, resource));
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    if (IS_INTRESOURCE(name)) return LoadMenuW(instance, reinterpret_cast<LPCWSTR>(name));
    std::u16string wide = to_u16(QString::fromUtf8(name));
    return LoadMenuW(instance, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

}  // extern "C"
