// The bytes of ICON resources: the RT_GROUP_ICON directory and one
// RT_ICON image as a DIB. Qt-free, for the fuzz target; every length and
// offset is checked against the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qorui {

// The RT_ICON ids a group directory names, in its order; empty when the
// directory is malformed.
std::vector<uint16_t> icon_group_ids(const uint8_t* data, size_t size);

struct IconPixels {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;  // top row first, 0xAARRGGBB
};

// A 24- or 32-bit uncompressed DIB image with its AND mask (the header's
// height counts both); none for other formats or sizes beyond 512.
std::optional<IconPixels> decode_dib_icon(const uint8_t* data, size_t size);

}  // namespace qorui
