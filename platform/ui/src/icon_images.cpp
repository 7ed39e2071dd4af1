#include "icon_images.h"

namespace qorui {
namespace {

constexpr size_t kGroupHeader = 6, kGroupEntry = 14, kDibHeader = 40;
constexpr int32_t kMaxSide = 512;

uint32_t read16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t read32(const uint8_t* p) { return read16(p) | (read16(p + 2) << 16); }

}  // namespace

std::vector<uint16_t> icon_group_ids(const uint8_t* data, size_t size) {
    if (!data || size < kGroupHeader || read16(data + 2) != 1) return {};
    const size_t count = read16(data + 4);
    if (size < kGroupHeader + count * kGroupEntry) return {};
    std::vector<uint16_t> ids;
    for (size_t k = 0; k < count; ++k) ids.push_back(static_cast<uint16_t>(read16(data + kGroupHeader + k * kGroupEntry + 12)));
    return ids;
}

std::optional<IconPixels> decode_dib_icon(const uint8_t* data, size_t size) {
    if (!data || size < kDibHeader) return std::nullopt;
    const size_t header = read32(data);
    if (header < kDibHeader || header > size) return std::nullopt;
    const auto width = static_cast<int32_t>(read32(data + 4));
    const int32_t height = static_cast<int32_t>(read32(data + 8)) / 2;  // colour rows, then the mask
    const uint32_t bits = read16(data + 14), compression = read32(data + 16);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || compression != 0) return std::nullopt;
    if (bits != 32 && bits != 24) return std::nullopt;
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    const size_t stride = ((w * bits + 31) / 32) * 4, mask_stride = ((w + 31) / 32) * 4;
    const size_t colour_end = header + stride * h;
    if (colour_end > size) return std::nullopt;
    const bool has_mask = colour_end + mask_stride * h <= size;
    IconPixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.argb.resize(w * h);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = data + header + stride * (h - 1 - y);  // bottom-up
        const uint8_t* mask = data + colour_end + mask_stride * (h - 1 - y);
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = row + x * (bits / 8);
            uint32_t alpha = bits == 32 ? p[3] : 255;
            if (bits == 24 && has_mask && (mask[x / 8] & (0x80 >> (x % 8)))) alpha = 0;
            pixels.argb[y * w + x] = (alpha << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
    }
    return pixels;
}

}  // namespace qorui
