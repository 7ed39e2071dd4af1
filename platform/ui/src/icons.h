// Icons loaded from a module's ICON resources.
#pragma once

#include "qor/ui/windows.h"

#include <QIcon>

namespace qorui {

// The icon behind a handle from LoadIconW; a null icon for any other handle.
QIcon icon_of(HICON icon);

}  // namespace qorui
