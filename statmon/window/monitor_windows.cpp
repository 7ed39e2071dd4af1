// The window half of the application object: the pop-up box's life, the
// stop and the version box.
#include "monitor_windows.h"

#include "main_frame.h"
#include "popup_dialog.h"
#include "resource.h"

namespace qor::statmon {

MonitorWindows::~MonitorWindows() {
    app_.signal_stop();
    app_.join_worker();
    if (popup_) DestroyWindow(popup_->hwnd());
    if (frame_) DestroyWindow(frame_);
}

bool MonitorWindows::create() { return CMainFrame::create(*this) != nullptr; }

void MonitorWindows::frame_created(HWND frame, HWND view) {
    frame_ = frame;
    view_.store(view);
}

void MonitorWindows::post_notify(UINT message, DWORD persistent) {
    if (HWND view = view_.load()) PostMessageW(view, WM_PSM_NOTIFY, message, persistent);
}

void MonitorWindows::notify(UINT message, DWORD persistent) {
    const NotifyStep step = view_notify_step(popup_ != nullptr, message);
    if (step.create_box) popup_ = CStatusPopupDlg::create(*this);  // a failure tries again next time
    if (!popup_ || !popup_->hwnd()) return;
    if (step.show_box) {
        ShowWindow(popup_->hwnd(), SW_SHOWNORMAL);
        popup_shown();
    }
    if (step.pass_to_box) PostMessageW(popup_->hwnd(), WM_PSM_SHOWMESSAGE, message, persistent);
}

void MonitorWindows::stop() {
    app_.signal_stop();
    if (!popup_) return;
    ShowWindow(popup_->hwnd(), SW_HIDE);
    DestroyWindow(popup_->hwnd());
}

void MonitorWindows::popup_gone(CStatusPopupDlg* popup) {
    if (popup_ != popup) return;
    popup_ = nullptr;
    popup_visible_.store(false);
}

}  // namespace qor::statmon
