// The tray icon's menu: resource 132's first submenu at the cursor,
// bottom-aligned, the right button allowed, its commands going to the view.
#include "monitor_windows.h"

#include "resource.h"

namespace qor::statmon {

void track_tray_menu(HWND view) {
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(view);
    if (popup) TrackPopupMenu(popup, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, view, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageW(view, WM_USER, 0, 0);
    DestroyMenu(menu);
}

}  // namespace qor::statmon
