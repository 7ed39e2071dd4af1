// The hardware setup tool's main window: a frame with the menu, the
// printer bar, the form of 21 lists and the status bar.
#pragma once

#include "setup_tool.h"
#include "window_host.h"

#include <string>

namespace custom_window {

struct MainState {
    custom::SetupTool& tool;
    WindowHost& host;
    std::string document;  // the setting file saved to or opened, if any
    bool centred = false;
    std::u16string property;  // the single-instance mark, removed on destruction
};

// Hidden until shown; the form is empty until initialise_form.
HWND create_main_window(MainState& state);
// The form's initialisation for a (new or opened) document: the window
// fitted to the form, centred the first time, the printer read - and for
// an opened document the file merged after that read.
void initialise_form(HWND main, const std::string& document = {});
HWND form_of(HWND main);

}  // namespace custom_window
