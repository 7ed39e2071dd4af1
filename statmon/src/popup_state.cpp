#include "popup_state.h"

#include "notify_table.h"

namespace qor::statmon {

NotifyStep view_notify_step(bool box_exists, UINT message) {
    NotifyStep step;
    step.create_box = !box_exists;
    // Ids below the shown range are not the monitor's messages.
    if (message != 0 && message < kFirstShownMessage) return step;
    step.show_box = message != 0;
    step.pass_to_box = true;
    return step;
}

PopupState::Effects PopupState::show_message(UINT message, DWORD persistent) {
    Effects effects;
    persistent_ = persistent;
    if (message >= kFirstShownMessage) {
        message_ = message;
        effects.redraw = true;
    }
    // A recovery, or nothing new, closes the box after a while.
    effects.start_timer = persistent_ == 0;
    return effects;
}

PopupState::Effects PopupState::timer_fired() {
    Effects effects;
    effects.stop_timer = true;
    effects.destroy = persistent_ == 0;
    return effects;
}

PopupState::Effects PopupState::closed() {
    Effects effects;
    effects.stop_timer = true;
    effects.destroy = true;
    return effects;
}

}  // namespace qor::statmon
