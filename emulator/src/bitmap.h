// A 1-bit image of paper: rows of packed bits, first dot in bit 0x80,
// growing downwards as paper is fed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qoremu {

class Bitmap {
public:
    Bitmap() = default;
    explicit Bitmap(int width, int height = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }

    // Grows to at least `height` rows (new rows blank).
    void ensure_height(int height);
    void set(int x, int y);  // ignored outside the bitmap
    bool get(int x, int y) const;
    const uint8_t* row(int y) const { return bits_.data() + size_t(y) * size_t(stride_); }
    uint8_t* row(int y) { return bits_.data() + size_t(y) * size_t(stride_); }
    // ORs `count` packed bytes at dot column x of row y, clipped at `right`.
    void or_bits(int x, int y, const uint8_t* bytes, size_t count, int right);
    // Lowest row holding ink, plus one; 0 when blank.
    int ink_bottom() const;
    void crop(int height);
    void clear();

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<uint8_t> bits_;
};

}  // namespace qoremu
