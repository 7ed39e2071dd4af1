#include "collection_time.h"

namespace tool {

std::optional<int> read_collection_time(std::string_view edit_text) {
    std::string_view text = edit_text.substr(0, kEditLimit);
    if (text.empty()) return std::nullopt;
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    int sign = 1;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) sign = text[at++] == '-' ? -1 : 1;
    int value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) value = value * 10 + (text[at] - '0');
    return sign * value;
}

std::array<uint8_t, 6> collection_command(uint8_t tenths) { return {0x1D, 0x61, 0x0E, 0x12, 0x54, tenths}; }

}  // namespace tool
