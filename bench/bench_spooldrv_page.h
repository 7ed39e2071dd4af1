// The reference page for the printing benchmarks, read once: the 24-bit
// picture and its grey image as the rendering driver hands it over. Every
// program linking this also runs BM_CopyPage24, the plain copy of the 24-bit
// page each figure is set against.
#pragma once

#include "qor/gdi.h"

#include <cstdint>
#include <vector>

namespace benchpage {

struct Page {
    long width = 0;
    long height = 0;
    std::vector<uint8_t> bgr;   // top-down, width * 3 bytes per row
    std::vector<uint8_t> grey;  // top-down, width rounded up to 4 per row
};

// QOR_BENCH_PAGE names another PNG; exits when the page cannot be read.
const Page& ReferencePage();

// The page as a top-down 24-bit bitmap for StretchDIBits.
BITMAPINFO PageBitmapInfo(const Page& page);

}  // namespace benchpage
