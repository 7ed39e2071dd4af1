// CMainFrame, the hidden main window, and CStatusMonitorView, its view:
// the program's message receiver.
#pragma once

#include "monitor_windows.h"

namespace qor::statmon {

class CMainFrame {
public:
    // Registers both classes and makes the frame (a quarter of the screen in
    // from the top-left corner, half its size), its view and the tray icon;
    // the frame is hidden at once. Null when it could not be made.
    static HWND create(MonitorWindows& windows);
};

class CStatusMonitorView {
public:
    static HWND create(MonitorWindows& windows, HWND frame);
};

}  // namespace qor::statmon
