// The pop-up box's rules without its window: when the view makes, shows and
// feeds the box, and what the box does with a message, its 2-second timer
// and its close. The window part carries the effects out.
#pragma once

#include "qor/base.h"
#include "qor/gdi.h"

namespace qor::statmon {

inline constexpr UINT kPopupTimerId = 1;
inline constexpr UINT kPopupTimerMs = 2000;

// What the view does with one WM_PSM_NOTIFY.
struct NotifyStep {
    bool create_box = false;  // modeless, hidden, from its template
    bool show_box = false;
    bool pass_to_box = false;  // post WM_PSM_SHOWMESSAGE with the same parameters
};
// `box_exists`: a box with a window is there (or was just made).
NotifyStep view_notify_step(bool box_exists, UINT message);

// The message font: when the device has a TrueType "Arial" (`found`), light
// 10-point for the device's vertical resolution; otherwise the all-zero
// description, which stands for the default face and size.
LOGFONTW popup_message_font(bool found, int logpixels_y);
// Whether an enumerated font is the one the message font wants.
bool is_message_face(const LOGFONTW& font, DWORD font_type);

// CStatusPopupDlg's state.
class PopupState {
public:
    struct Effects {
        bool redraw = false;       // select item 0, repaint it, bring the box forward
        bool start_timer = false;  // (re)start timer 1 with 2000 ms
        bool stop_timer = false;
        bool destroy = false;
    };

    Effects show_message(UINT message, DWORD persistent);
    Effects timer_fired();
    // OK, Escape or the close box.
    Effects closed();

    UINT message() const { return message_; }
    bool persistent() const { return persistent_ != 0; }

private:
    UINT message_ = 0;
    DWORD persistent_ = 0;
};

}  // namespace qor::statmon
