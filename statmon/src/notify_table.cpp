#include "notify_table.h"

#include "common/status.h"

namespace qor::statmon {

namespace st = qor::status;

const NotifyTable& notify_table() {
    static constexpr NotifyTable kTable = {{
        {kBidiUnavailable, kMessageNoBidi, 0},
        {kSettingsReread, 0, 0},
        {kUnreachable, kMessageUnreachable, 0},
        {st::kCoverOpen, 20045, 20044},
        {st::kManualFeed, 20011, 0},
        {st::kPaperJam, 20007, 20006},
        {st::kCutterError, 20059, 20058},
        {st::kPaperOut, 20009, 20008},
        {st::kFatalError, 20003, 20002},
        {st::kAutoRecoverError, 20027, 20026},
        {st::kOffline, 20015, 20014},
        {st::kPaperNearEnd, 20061, 20060},
        {st::kPrinting, 20401, 20400},
    }};
    return kTable;
}

const char* message_text(UINT id) {
    switch (id) {
    case kMessageUnreachable: return "It couldn't be connected to the printer.";
    case kMessageNoBidi: return "Bi-directional communication support is not available.";
    case kMessageSetupChanged: return "A setup was changed properly.";
    case kMessageSetupFailed: return "A setup couldn't be changed properly.";
    default: break;
    }
    // The printer conditions' texts are the shared condition table's.
    for (const NotifyEntry& row : notify_table()) {
        const st::ConditionText* text = st::condition_text(row.mask);
        if (!text) continue;
        if (id == row.raised_message) return text->when_set;
        if (id == row.cleared_message) return text->when_cleared;
    }
    return nullptr;
}

}  // namespace qor::statmon
