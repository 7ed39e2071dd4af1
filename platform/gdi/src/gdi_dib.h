// Device-independent bitmaps handed in by applications: header checks and
// conversion of a source rectangle to top-down 24-bit rows.
#pragma once

#include "qor/gdi.h"

#include <cstdint>
#include <vector>

namespace qor::gdi {

constexpr size_t kUnknownSize = SIZE_MAX;

struct DibImage {
    LONG width = 0, height = 0;
    std::vector<uint8_t> bgr;  // width * 3 bytes per row, top row first
};

// Converts rows [y, y + height) and columns [x, x + width) of the bitmap
// (rows counted from the top of the picture) into `out`. `info_size` and
// `bits_size` bound what may be read (kUnknownSize when the caller did not
// say). False with ERROR_INVALID_PARAMETER for a header this engine does not
// draw (bit depths 1, 4, 8, 24 and 32, uncompressed or standard 32-bit
// masks), a rectangle outside the picture, or data shorter than the header
// promises.
bool convert_dib(const BITMAPINFO* info, size_t info_size, const void* bits, size_t bits_size,
                 LONG x, LONG y, LONG width, LONG height, DibImage& out);

}  // namespace qor::gdi
