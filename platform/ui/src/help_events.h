#pragma once

#include "window_table.h"

namespace qorui {

// Makes F1 and the context menu on `control` reach its dialog.
void watch_help_requests(QWidget* control);

}  // namespace qorui
