// The message choice, driven directly: the table's priority, the masks and
// the edge cases of idle, printing and lost printers.
#include "decision.h"
#include "notify_table.h"

#include "common/status.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qor::statmon;
namespace st = qor::status;

namespace {

constexpr DWORD kValid = st::kControlValid;
constexpr DWORD kAnnounce = st::kControlAnnounce;

Decision decide_idle(DWORD status, DWORD control, Decided decided, Masks masks, bool popup = false) {
    return decide(status, 0, control, decided, masks, popup);
}

}  // namespace

TEST(Decision, PaperOutWhileIdleIsAnnouncedOnlyOnRequestOrWithTheBoxUp) {
    const Masks masks{st::kPaperOut, 0};
    EXPECT_FALSE(decide_idle(st::kPaperOut, kValid, {}, masks).post);

    const Decision asked = decide_idle(st::kPaperOut, kValid | kAnnounce, {}, masks);
    EXPECT_TRUE(asked.post);
    EXPECT_EQ(asked.message, 20009u);
    EXPECT_EQ(asked.persistent, 1u);
    EXPECT_STREQ(message_text(asked.message), "The printer is out of paper.");

    const Decision shown = decide_idle(st::kPaperOut, kValid, {}, masks, true);
    EXPECT_TRUE(shown.post);
    EXPECT_EQ(shown.message, 20009u);
    EXPECT_EQ(shown.persistent, 1u);
}

TEST(Decision, SettingsChangeIsAnnouncedOnlyWhenItsBitIsRaised) {
    const DWORD status = kSettingsReread;
    EXPECT_FALSE(decide(status, kMessageSetupChanged, kValid, {}, {st::kPaperOut, 0}, false).post);

    const Decision on = decide(status, kMessageSetupChanged, kValid, {}, {kSettingsReread, 0}, false);
    EXPECT_TRUE(on.post);
    EXPECT_EQ(on.message, kMessageSetupChanged);
    EXPECT_EQ(on.persistent, 1u);
    const Decision failed = decide(status, kMessageSetupFailed, kValid, {}, {kSettingsReread, 0}, false);
    EXPECT_EQ(failed.message, kMessageSetupFailed);
    EXPECT_STREQ(message_text(failed.message), "A setup couldn't be changed properly.");
}

TEST(Decision, TableOrderDecidesBetweenConditionsPresentTogether) {
    const Masks all{0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(decide_idle(st::kPaperJam | st::kPaperOut, kValid | kAnnounce, {}, all).message, 20007u);
    EXPECT_EQ(decide_idle(st::kPaperOut | st::kCoverOpen, kValid | kAnnounce, {}, all).message, 20045u);
    // Bidi unavailable outranks an unreachable printer.
    EXPECT_EQ(decide_idle(kBidiUnavailable | kUnreachable, kValid, {}, all).message, kMessageNoBidi);
    // A condition absent from the raised mask is passed over.
    const Masks paper_only{st::kPaperOut, 0};
    EXPECT_EQ(decide_idle(st::kPaperJam | st::kPaperOut, kValid | kAnnounce, {}, paper_only).message, 20009u);
}

TEST(Decision, RecoveriesUseTheClearedMask) {
    const Masks masks{0, st::kPaperOut};
    const Decision cleared = decide_idle(0, kValid, {st::kPaperOut, kValid}, masks, true);
    EXPECT_TRUE(cleared.post);
    EXPECT_EQ(cleared.message, 20008u);
    EXPECT_EQ(cleared.persistent, 0u);
    EXPECT_STREQ(message_text(20008), "Printer paper is prepared.");
    // Manual feed has no recovery message.
    const Decision feed = decide_idle(0, kValid, {st::kManualFeed, kValid}, {0, st::kManualFeed}, true);
    EXPECT_TRUE(feed.post);
    EXPECT_EQ(feed.message, 0u);
}

TEST(Decision, StartOfPrintingForgetsTheRememberedConditions) {
    const Masks masks{st::kPaperNearEnd, st::kPaperOut};
    // Near end was known before; printing starts and it is still there: it
    // is announced again.
    const Decision again = decide_idle(st::kPrinting | st::kPaperNearEnd, kValid, {st::kPaperNearEnd, kValid}, masks);
    EXPECT_TRUE(again.post);
    EXPECT_EQ(again.message, 20061u);
    // Paper out went away as the job started: forgotten, so no recovery.
    const Decision none = decide_idle(st::kPrinting, kValid, {st::kPaperOut, kValid}, masks);
    EXPECT_TRUE(none.post);
    EXPECT_EQ(none.message, 0u);
}

TEST(Decision, PrintingIsPersistentAndItsEndIsNot) {
    const Masks masks{st::kPrinting, st::kPrinting};
    const Decision start = decide_idle(st::kPrinting, kValid, {}, masks);
    EXPECT_EQ(start.message, 20401u);
    EXPECT_EQ(start.persistent, 1u);
    const Decision end = decide_idle(0, kValid, {st::kPrinting, kValid}, masks);
    EXPECT_TRUE(end.post);
    EXPECT_EQ(end.message, 20400u);
    EXPECT_EQ(end.persistent, 0u);
    EXPECT_STREQ(message_text(20400), "Printer is stopped.");
    // Without two-way communication the end of a job is not known.
    EXPECT_FALSE(decide_idle(kBidiUnavailable, kValid, {st::kPrinting, kValid}, masks).post);
    // Printing unchanged: nothing new.
    EXPECT_FALSE(decide_idle(st::kPrinting, kValid, {st::kPrinting, kValid}, masks).post);
}

TEST(Decision, NoConnectionWhileIdleBecomesUnreachable) {
    const DWORD control = kValid | st::kControlNoConnection;
    const Reachability idle = apply_reachability(st::kPaperOut | st::kOffline, control, {});
    EXPECT_EQ(idle.status, kUnreachable);
    EXPECT_FALSE(idle.decision_due);
    const Decision lost = decide_idle(idle.status, control, {}, {kUnreachable, 0});
    EXPECT_TRUE(lost.post);
    EXPECT_EQ(lost.message, kMessageUnreachable);
    EXPECT_STREQ(message_text(lost.message), "It couldn't be connected to the printer.");

    // A newly raised announce bit makes a decision due by itself.
    EXPECT_TRUE(apply_reachability(0, control | kAnnounce, {0, kValid}).decision_due);
    EXPECT_FALSE(apply_reachability(0, control | kAnnounce, {0, kValid | kAnnounce}).decision_due);
    // Last seen printing: left as it is.
    EXPECT_EQ(apply_reachability(st::kPaperOut, control, {st::kPrinting, kValid}).status, st::kPaperOut);
    // Connected again: the bit goes.
    EXPECT_EQ(apply_reachability(kUnreachable | st::kPaperOut, kValid, {}).status, st::kPaperOut);
}

TEST(Decision, EveryRowHasItsTexts) {
    for (const NotifyEntry& row : notify_table()) {
        if (row.raised_message) {
            EXPECT_NE(message_text(row.raised_message), nullptr) << row.mask;
        }
        if (row.cleared_message) {
            EXPECT_NE(message_text(row.cleared_message), nullptr) << row.mask;
        }
    }
    EXPECT_EQ(message_text(19999), nullptr);
    // Forgetting clears exactly the ten printer conditions.
    EXPECT_EQ(~kForgetConditions, st::kAllPrinterBits);
}
