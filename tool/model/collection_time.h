// The presenter's collection time as the user types it, and the command
// that sets it in the printer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tool {

inline constexpr int kDefaultTime = 50;  // 5.0 s
inline constexpr int kEditLimit = 3;     // characters
inline constexpr int kMaxTime = 255;
inline constexpr int kCollectionOff = 10;  // below this the printer keeps the ticket

// The edit's first characters read as a decimal number the way the C
// library's atoi does (spaces, a sign, then digits up to the first other
// character): "12a" is 12, "a12" is 0. Nothing for an empty edit.
std::optional<int> read_collection_time(std::string_view edit_text);

// GS a 0E (automatic status back) followed by DC2 T n (collection time).
std::array<uint8_t, 6> collection_command(uint8_t tenths);

}  // namespace tool
