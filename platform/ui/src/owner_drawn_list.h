// Owner-drawn list boxes: items measured with WM_MEASUREITEM and drawn
// with WM_DRAWITEM by the list's parent.
#pragma once

#include "qor/ui/windows.h"

class QListWidget;

namespace qorui {

// Makes `list` (LBS_OWNERDRAWFIXED or LBS_OWNERDRAWVARIABLE in `style`)
// ask its parent window for its items' heights and pictures.
void make_owner_drawn(QListWidget* list, DWORD style);
bool is_owner_drawn(DWORD style);
// LB_SETITEMHEIGHT and LB_GETITEMHEIGHT; `handled` false for other messages.
LRESULT item_height_message(QListWidget* list, UINT message, WPARAM wparam, LPARAM lparam, bool& handled);

}  // namespace qorui
