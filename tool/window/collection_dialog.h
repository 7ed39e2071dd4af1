// The presenter utility's dialogs on the desktop layer. The main dialog is
// the model's ToolView: its buttons, messages, printer choice and pause.
#pragma once

#include "tool_model.h"

#include "qor/ui/windows.h"

#include <string>

namespace tool {

// Modal, as the program runs it. `property` is the window property the
// main dialog carries so that a second start finds it.
INT_PTR run_collection_dialog(ToolModel& model, const std::u16string& property);
// Modeless, for tests and screenshots.
HWND create_collection_dialog(ToolModel& model, const std::u16string& property);

}  // namespace tool
