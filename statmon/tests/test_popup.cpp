// The pop-up box's rules, on a simulated clock: which message stays up and
// when the box closes.
#include "notify_table.h"
#include "popup_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

using namespace qor::statmon;

namespace {

// The box with its timer, as the window part runs them.
class SimulatedBox {
public:
    void show(UINT message, DWORD persistent) { apply(state_.show_message(message, persistent)); }
    void advance_to(unsigned ms) {
        now_ = ms;
        if (timer_due_ && *timer_due_ <= now_) apply(state_.timer_fired());
    }
    void close() { apply(state_.closed()); }
    bool open() const { return open_; }
    const PopupState& state() const { return state_; }
    std::optional<unsigned> timer_due() const { return timer_due_; }

private:
    void apply(const PopupState::Effects& effects) {
        if (effects.stop_timer) timer_due_.reset();
        if (effects.start_timer) timer_due_ = now_ + kPopupTimerMs;
        if (effects.destroy) {
            open_ = false;
            timer_due_.reset();
        }
    }
    PopupState state_;
    unsigned now_ = 0;
    std::optional<unsigned> timer_due_;
    bool open_ = true;
};

}  // namespace

TEST(PopupBox, TwoPersistentMessagesKeepItOpenWithTheSecondText) {
    SimulatedBox box;
    box.show(20009, 1);
    box.advance_to(500);
    box.show(20007, 1);
    box.advance_to(10000);
    EXPECT_TRUE(box.open());
    EXPECT_EQ(box.state().message(), 20007u);
    EXPECT_FALSE(box.timer_due());
}

TEST(PopupBox, PersistentThenNonPersistentClosesTwoSecondsAfterTheSecond) {
    SimulatedBox box;
    box.show(20009, 1);
    box.advance_to(1000);
    box.show(20008, 0);
    EXPECT_EQ(box.timer_due(), 3000u);
    box.advance_to(2999);
    EXPECT_TRUE(box.open());
    EXPECT_EQ(box.state().message(), 20008u);
    box.advance_to(3000);
    EXPECT_FALSE(box.open());
}

TEST(PopupBox, NonPersistentThenPersistentStaysWhenTheTimerFires) {
    SimulatedBox box;
    box.show(20008, 0);
    box.advance_to(1000);
    box.show(20009, 1);
    box.advance_to(2000);  // the first message's timer
    EXPECT_TRUE(box.open());
    EXPECT_FALSE(box.timer_due());
    EXPECT_EQ(box.state().message(), 20009u);
    box.close();
    EXPECT_FALSE(box.open());
}

TEST(PopupBox, AnEmptyNotificationClosesAnOpenBoxLater) {
    SimulatedBox box;
    box.show(20009, 1);
    box.show(0, 0);  // the decision posted without a message
    EXPECT_EQ(box.state().message(), 20009u);
    box.advance_to(2000);
    EXPECT_FALSE(box.open());
}

TEST(PopupBox, TheViewShowsOnlyTheMonitorsMessages) {
    const NotifyStep first = view_notify_step(false, 20009);
    EXPECT_TRUE(first.create_box);
    EXPECT_TRUE(first.show_box);
    EXPECT_TRUE(first.pass_to_box);
    const NotifyStep empty = view_notify_step(true, 0);
    EXPECT_FALSE(empty.create_box);
    EXPECT_FALSE(empty.show_box);
    EXPECT_TRUE(empty.pass_to_box);
    const NotifyStep foreign = view_notify_step(true, 19999);
    EXPECT_FALSE(foreign.show_box);
    EXPECT_FALSE(foreign.pass_to_box);
}

TEST(PopupBox, MessageFontIsLightTenPointArialOnlyWhenFound) {
    const LOGFONTW at96 = popup_message_font(true, 96);
    EXPECT_EQ(at96.lfHeight, -13) << "10 points at 96 dpi, rounded";
    EXPECT_EQ(at96.lfWidth, 0);
    EXPECT_EQ(at96.lfWeight, FW_LIGHT);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(at96.lfFaceName)), u"Arial");
    EXPECT_EQ(popup_message_font(true, 120).lfHeight, -17);
    const LOGFONTW none = popup_message_font(false, 96);
    const LOGFONTW zero{};
    EXPECT_EQ(std::memcmp(&none, &zero, sizeof zero), 0);

    LOGFONTW face{};
    const char16_t lower[] = u"arial";
    std::copy(std::begin(lower), std::end(lower), face.lfFaceName);
    EXPECT_TRUE(is_message_face(face, TRUETYPE_FONTTYPE)) << "any case";
    EXPECT_FALSE(is_message_face(face, DEVICE_FONTTYPE)) << "TrueType only";
    const char16_t longer[] = u"Arial Black";
    std::copy(std::begin(longer), std::end(longer), face.lfFaceName);
    EXPECT_FALSE(is_message_face(face, TRUETYPE_FONTTYPE)) << "the whole name";
}
