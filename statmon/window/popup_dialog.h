// CStatusPopupDlg: the modeless box that shows one status message in its
// owner-drawn one-line list, closing itself 2 seconds after a message that
// does not report a present condition.
#pragma once

#include "monitor_windows.h"
#include "popup_state.h"

namespace qor::statmon {

class CStatusPopupDlg {
public:
    // Made hidden from template 130 with the desktop as parent; null when
    // the box could not be made. It deletes itself when its window goes.
    static CStatusPopupDlg* create(MonitorWindows& owner);

    HWND hwnd() const { return hwnd_; }
    UINT message() const { return state_.message(); }
    bool persistent() const { return state_.persistent(); }
    const LOGFONTW& message_font() const { return font_; }

private:
    explicit CStatusPopupDlg(MonitorWindows& owner) : owner_(owner) {}
    static INT_PTR proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);
    void init();
    void choose_font(HWND list);
    void draw(const DRAWITEMSTRUCT& item);
    void apply(const PopupState::Effects& effects);

    MonitorWindows& owner_;
    HWND hwnd_ = nullptr;
    PopupState state_;
    LOGFONTW font_{};
};

}  // namespace qor::statmon
