// The default handling of WM_CONTEXTMENU on a window: its system menu.
#pragma once

#include "qor/ui/windows.h"

namespace qorui {

// Opens the window's system menu at the screen position in `position`
// (-1: at the window) and posts WM_SYSCOMMAND for the choice. False when
// the window has no system-menu items.
bool open_system_menu(HWND window, LPARAM position);

}  // namespace qorui
