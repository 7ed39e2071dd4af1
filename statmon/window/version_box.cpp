// The version box: modal from template 100, brought forward when it is
// asked for again while open.
#include "monitor_windows.h"

#include "resource.h"

namespace qor::statmon {
namespace {

INT_PTR version_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        reinterpret_cast<MonitorWindows*>(lparam)->version_box_opened(dialog);
        RECT rect{};
        GetWindowRect(dialog, &rect);
        int width = rect.right - rect.left, height = rect.bottom - rect.top;
        MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                   width, height, FALSE);
        return TRUE;
    }
    default:
        return QorUiPlainBoxProc(dialog, message, wparam, lparam);
    }
}

}  // namespace

void MonitorWindows::show_version_box() {
    if (version_box_) {
        SetForegroundWindow(version_box_);
        return;
    }
    DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_VERSION), nullptr, version_proc, reinterpret_cast<LPARAM>(this));
    version_box_ = nullptr;
}

}  // namespace qor::statmon
