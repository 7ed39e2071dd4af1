// Top-level windows seen by other processes, and other processes' windows
// seen here (through qor/ui/window_directory.h).
#pragma once

#include "window_table.h"

namespace qorui {

// Publishes (again) a top-level window's record: after creation, and
// whenever its title, properties or state change.
void window_changed(HWND window);
void window_gone(HWND window);

// Other processes' windows have handles of their own here.
bool is_remote(HWND window);
BOOL remote_post(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL remote_activate(HWND window, bool restore);
bool remote_record_flags(HWND window, uint32_t& flags);
HANDLE remote_property(HWND window, LPCWSTR name);

}  // namespace qorui
