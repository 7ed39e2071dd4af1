// The frame's status bar follows the menu: the prompt of the item under
// the pointer, the idle text when the menu closes.
#pragma once

#include "qor/ui/windows.h"

namespace qorui {

// `closed`: the menu ended. Nothing happens for a window that is no frame.
void show_menu_prompt(HWND owner, UINT item, UINT flags, bool closed);

}  // namespace qorui
