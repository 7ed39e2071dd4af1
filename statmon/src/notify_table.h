// The thirteen announcement rows in priority order, the monitor's own bits
// and the message texts by string id.
#pragma once

#include "qor/base.h"

#include <array>

namespace qor::statmon {

// Bits the monitor composes itself on top of the printer status word.
inline constexpr DWORD kBidiUnavailable = 0x80000000;
inline constexpr DWORD kSettingsReread = 0x10000000;
inline constexpr DWORD kUnreachable = 0x08000000;
// ANDed with a word, clears exactly the ten printer-condition bits.
inline constexpr DWORD kForgetConditions = 0x9FBFDB45;

inline constexpr UINT kMessageUnreachable = 20200;
inline constexpr UINT kMessageNoBidi = 20201;
inline constexpr UINT kMessageSetupChanged = 20300;
inline constexpr UINT kMessageSetupFailed = 20301;
// Ids below this are never shown.
inline constexpr UINT kFirstShownMessage = 20000;

struct NotifyEntry {
    DWORD mask;
    UINT raised_message;   // 0 for the settings row: the cycle's own message
    UINT cleared_message;  // 0: a recovery that is not announced
};

inline constexpr size_t kNotifyRows = 13;
using NotifyTable = std::array<NotifyEntry, kNotifyRows>;
const NotifyTable& notify_table();

// The text of a message id, or null for an id that has none.
const char* message_text(UINT id);

}  // namespace qor::statmon
