#include "popup_menus.h"

#include "menu_table.h"
#include "menu_text.h"
#include "script_session.h"
#include "window_table.h"

namespace qorui {
namespace {

struct Found {
    HMENU menu = nullptr;
    MenuEntry entry;
};

// Looks for the item the script names, telling the owner about each
// submenu on the way as opening it would.
std::optional<Found> find_named(HMENU menu, const MenuUse& use, const std::u16string& name, int depth) {
    auto entries = menu_entries(menu);
    if (!entries || depth > 16) return std::nullopt;
    for (size_t k = 0; k < entries->size(); ++k) {
        const MenuEntry& entry = (*entries)[k];
        if (entry.flags & MF_SEPARATOR) continue;
        if (!(entry.flags & MF_POPUP)) {
            if (menu_text_matches(entry.text, name)) return Found{menu, entry};
            continue;
        }
        send_init_popup(use, entry.popup, static_cast<int>(k));
        if (auto inner = find_named(entry.popup, use, name, depth + 1)) return inner;
    }
    return std::nullopt;
}

UINT_PTR scripted_choice(HMENU menu, const MenuUse& use) {
    send_init_popup(use, menu, 0);
    ScriptedBox shown{"menu", "", "", "", ""};
    std::string wanted = expect(shown).caption;
    shown.caption = wanted;
    if (wanted.empty()) {
        log_shown(shown);
        send_menu_closed(use);
        return 0;
    }
    std::u16string name = to_u16(QString::fromStdString(wanted));
    auto found = find_named(menu, use, name, 0);
    if (!found) fail("the menu has no item " + wanted);
    if (found->entry.flags & (MF_GRAYED | MF_DISABLED)) fail("the menu item is disabled: " + wanted);
    send_menu_select(use, found->menu, static_cast<UINT>(found->entry.id), found->entry.flags);
    send_menu_closed(use);
    log_shown(shown);
    return found->entry.id;
}

}  // namespace

UINT_PTR track_menu(HMENU menu, const MenuUse& given, QPoint at) {
    MenuUse use = given;
    use.post = false;
    if (scripted()) return scripted_choice(menu, use);
    auto owner = find_window(use.owner);
    std::unique_ptr<QMenu> popup(make_menu(menu, use, 0, owner && owner->widget ? owner->widget.data() : nullptr));
    UINT_PTR chosen = command_of(popup->exec(at));
    std::u16string label;
    if (chosen)
        if (auto place = find_command(menu, chosen))
            if (auto entries = menu_entries(place->menu)) label = menu_label((*entries)[place->position].text);
    log_shown(ScriptedBox{"menu", QString::fromStdU16String(label).toStdString(), "", "", ""});
    return chosen;
}

}  // namespace qorui

using namespace qorui;

extern "C" {

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
    if (!menu_exists(menu) || !find_window(owner)) {
        SetLastError(menu_exists(menu) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuUse use{owner, false, !(flags & TPM_NONOTIFY), false};
    UINT_PTR chosen = track_menu(menu, use, QPoint(x, y));
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen) PostMessageW(owner, WM_COMMAND, chosen, 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

}  // extern "C"
