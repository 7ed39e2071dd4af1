// The printer's four hardware setting bytes (setbank) as the setup tool
// reads them: the command it sends, and the parse of the reply, which may
// be surrounded by other bytes the printer sent.
#pragma once

#include "qor/base.h"

#include <array>
#include <cstddef>

namespace qor::settings {

// GS a 0 (no status back in the way), DC2 q 5, DC2 l 0 (send the settings).
inline constexpr BYTE kReadCommand[] = {0x1D, 0x61, 0x00, 0x12, 0x71, 0x05, 0x12, 0x6C, 0x00};
// Receive length the setup tool asks for: room for bytes around the reply.
inline constexpr DWORD kReadReplyLength = 21;
inline constexpr BYTE kReplyHeader = 85;

using SettingBytes = std::array<BYTE, 4>;

// Skips bytes until the first 85; after it collects every byte whose upper
// four bits are zero (skipping all others, a later 85 too). With at least
// eight nibbles, byte k is nibble 2k plus 16 times nibble 2k+1.
bool parse_setting_reply(const BYTE* bytes, size_t count, SettingBytes* settings);

}  // namespace qor::settings
