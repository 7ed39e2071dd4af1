// The settings dialog on the desktop layer: it shows the model's state and
// hands the user's clicks to it, nothing more.
#pragma once

#include "status_model.h"

#include "qor/ui/windows.h"

namespace status {

// Modal, as the program runs it; the dialog's result.
INT_PTR run_settings_dialog(StatusModel& model);
// Modeless, for tests and screenshots.
HWND create_settings_dialog(StatusModel& model);

}  // namespace status
