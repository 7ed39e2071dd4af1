// The form of 21 lists: filled from the tool's state and rules, and the
// user's selections handed back.
#pragma once

#include "main_window.h"

namespace custom_window {

INT_PTR CALLBACK form_proc(HWND form, UINT message, WPARAM wparam, LPARAM lparam);
// Every list, label and the printer bar's write button as the tool's
// state has them now.
void show_form(HWND form, const custom::SetupTool& tool);

}  // namespace custom_window
