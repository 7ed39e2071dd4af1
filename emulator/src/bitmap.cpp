#include "bitmap.h"

#include <algorithm>

namespace qoremu {

Bitmap::Bitmap(int width, int height) : width_(std::max(width, 0)), stride_((std::max(width, 0) + 7) / 8) {
    ensure_height(height);
}

void Bitmap::ensure_height(int height) {
    if (height <= height_) return;
    bits_.resize(size_t(height) * size_t(stride_), 0);
    height_ = height;
}

void Bitmap::set(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
}

bool Bitmap::get(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return row(y)[x >> 3] & (0x80 >> (x & 7));
}

void Bitmap::or_bits(int x, int y, const uint8_t* bytes, size_t count, int right) {
    if (y < 0 || y >= height_) return;
    right = std::min(right, width_);
    if (x >= right) return;
    uint8_t* out = row(y);
    if (x >= 0 && (x & 7) == 0) {
        // Byte-aligned: whole bytes, then a masked last one.
        size_t first = size_t(x >> 3);
        size_t whole = size_t((right - x) / 8);
        size_t n = std::min(count, whole);
        for (size_t i = 0; i < n; ++i) out[first + i] |= bytes[i];
        if (n < count && (right - x) % 8) {
            uint8_t mask = uint8_t(0xFF00 >> ((right - x) % 8));
            out[first + n] |= bytes[n] & mask;
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        if (!b) continue;
        for (int bit = 0; bit < 8; ++bit) {
            int dot = x + int(i) * 8 + bit;
            if (dot >= right) return;
            if ((b & (0x80 >> bit)) && dot >= 0) out[dot >> 3] |= uint8_t(0x80 >> (dot & 7));
        }
    }
}

int Bitmap::ink_bottom() const {
    for (int y = height_ - 1; y >= 0; --y) {
        const uint8_t* r = row(y);
        if (std::any_of(r, r + stride_, [](uint8_t b) { return b != 0; })) return y + 1;
    }
    return 0;
}

void Bitmap::crop(int height) {
    if (height >= height_) return;
    height_ = std::max(height, 0);
    bits_.resize(size_t(height_) * size_t(stride_));
}

void Bitmap::clear() { std::fill(bits_.begin(), bits_.end(), 0); }

}  // namespace qoremu
