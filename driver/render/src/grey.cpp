#include "grey.h"

#include <cstdint>
#include <cstring>

DWORD GreyStride(DWORD width) { return (width + 3) & ~3u; }
DWORD ColourStride(DWORD width) { return (width * 3 + 3) & ~3u; }

void BuildBrightnessTable(BYTE bright, BYTE table[256]) {
    const int offset = static_cast<int8_t>(static_cast<BYTE>(bright + 106));
    for (int i = 0; i < 256; ++i) {
        int v = i + offset;
        table[i] = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

namespace {

// Four white pixels at once: blank stretches are most of a receipt.
inline bool four_white(const BYTE* src) {
    uint64_t head;
    uint32_t tail;
    std::memcpy(&head, src, sizeof(head));
    std::memcpy(&tail, src + 8, sizeof(tail));
    return head == ~uint64_t{0} && tail == ~uint32_t{0};
}

}  // namespace

void ConvertBandToGrey(BYTE* bits, DWORD width, DWORD height, const BYTE table[256]) {
    // The weighted sums per channel, precomputed; the division stays exact.
    DWORD blue[256], green[256], red[256];
    for (int i = 0; i < 256; ++i) {
        blue[i] = 21u * table[i];
        green[i] = 69u * table[i];
        red[i] = 10u * table[i];
    }
    const DWORD src_stride = ColourStride(width), dst_stride = GreyStride(width);
    for (DWORD row = 0; row < height; ++row) {
        // Destination row `row` ends before source row `row` starts, so in-place is safe.
        const BYTE* src = bits + static_cast<size_t>(row) * src_stride;
        BYTE* dst = bits + static_cast<size_t>(row) * dst_stride;
        DWORD x = 0;
        while (x < width) {
            if (x + 4 <= width && four_white(src)) {
                // Read all twelve bytes before writing any: the first write may overlap them.
                std::memset(dst + x, 0xFF, 4);
                x += 4;
                src += 12;
                continue;
            }
            const BYTE b = src[0], g = src[1], r = src[2];
            dst[x] = (b & g & r) == 0xFF ? 0xFF : static_cast<BYTE>((blue[b] + green[g] + red[r]) / 100);
            ++x;
            src += 3;
        }
    }
}

void ClearBandBuffer(BYTE* bits, size_t size) { std::memset(bits, 0xFF, size); }
