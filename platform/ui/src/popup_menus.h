// Tracked pop-up menus: shown and run to the user's choice, or answered
// from the test script.
#pragma once

#include "menu_widgets.h"

#include <QPoint>

namespace qorui {

// The chosen command, 0 when dismissed. Sends the notifications `use`
// asks for; never posts the command itself.
UINT_PTR track_menu(HMENU menu, const MenuUse& use, QPoint at);

}  // namespace qorui
