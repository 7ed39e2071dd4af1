// Texts of the printer conditions, in the order the status monitor checks them.
#include "common/status.h"

#include <iterator>

namespace qor::status {

namespace {

constexpr ConditionText kTexts[] = {
    {kFatalError, "The printer is in a fatal error state.", "Printer error is canceled."},
    {kPaperJam, "Paper is jammed in the printer.", "Paper jam is canceled."},
    {kPaperOut, "The printer is out of paper.", "Printer paper is prepared."},
    {kManualFeed, "The printer is in a manual feed state.", nullptr},
    {kOffline, "A printer is off-line condition.", "A printer is on-line condition."},
    {kPrinting, "Printer is printing.", "Printer is stopped."},
    {kAutoRecoverError, "The printer is in an automatic reversion error state.", "Printer error is canceled."},
    {kCoverOpen, "The cover of the printer-head is open.", "The cover of the printer-head is close."},
    {kCutterError, "The printer is in a cutter error state.", "Printer error is canceled."},
    {kPaperNearEnd, "The printer is near end of paper.", "Printer paper is prepared."},
};

}  // namespace

const ConditionText* condition_texts(size_t* count) {
    *count = std::size(kTexts);
    return kTexts;
}

const ConditionText* condition_text(DWORD bit) {
    for (const auto& text : kTexts)
        if (text.bit == bit) return &text;
    return nullptr;
}

}  // namespace qor::status
