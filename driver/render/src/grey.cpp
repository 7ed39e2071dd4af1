#include "grey.h"

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
        for (DWORD x = 0; x < width; ++x, src += 3) {
            const BYTE b = src[0], g = src[1], r = src[2];
            if ((b & g & r) == 0xFF) {
                dst[x] = 0xFF;
            } else {
                dst[x] = static_cast<BYTE>((blue[b] + green[g] + red[r]) / 100);
            }
        }
    }
}

void ClearBandBuffer(BYTE* bits, size_t size) { std::memset(bits, 0xFF, size); }
