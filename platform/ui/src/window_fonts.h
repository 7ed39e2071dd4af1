// WM_SETFONT and WM_GETFONT of every window.
#pragma once

#include "window_table.h"

namespace qorui {

// Handles the two messages (`handled` false for any other).
LRESULT font_message(Window& window, UINT message, WPARAM wparam, LPARAM lparam, bool& handled);

}  // namespace qorui
