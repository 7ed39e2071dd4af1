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

LOGFONTW popup_message_font(bool found, int logpixels_y) {
    LOGFONTW font{};
    if (!found) return font;
    static constexpr char16_t kFace[] = u"Arial";
    for (size_t i = 0; kFace[i]; ++i) font.lfFaceName[i] = kFace[i];
    // Points to device pixels, rounded as MulDiv does; negative: the
    // character height rather than the cell's.
    font.lfHeight = -static_cast<LONG>((10 * static_cast<int64_t>(logpixels_y) + 36) / 72);
    font.lfWeight = FW_LIGHT;
    return font;
}

bool is_message_face(const LOGFONTW& font, DWORD font_type) {
    if (!(font_type & TRUETYPE_FONTTYPE)) return false;
    static constexpr char16_t kFace[] = u"arial";
    size_t i = 0;
    for (; kFace[i]; ++i) {
        char16_t c = font.lfFaceName[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        if (c != kFace[i]) return false;
    }
    return font.lfFaceName[i] == 0;
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
