// The page image: the grey band halftoned row by row, blank rows dropped,
// marked rows packed into raster blocks, standard-mode text placed between
// them.
#pragma once

#include "job.h"

#include <cstddef>

// Rows the printer draws, from the job's device mode: a paper fed turned
// swaps width and length, and the page is turned by 90 degrees clockwise
// when its orientation does not match the feed.
struct BandGeometry {
    LONG row_width = 0;   // dots per output row
    LONG rows = 0;        // output rows
    bool turned = false;  // output row i is grey column i, read bottom to top
    LONG grey_width = 0;  // the grey image as rendered
    LONG grey_rows = 0;
    size_t stride = 0;    // grey bytes per rendered row: width rounded up to 4
    DWORD row_bytes = 0;  // one halftoned row: (row_width + 7) / 8 rounded up to 4
};

// The widest row accepted: raster widths and positions are 16-bit values.
#define BAND_MAX_ROW_WIDTH 0xFFF8
// Rows in one raster block at most.
#define BAND_MAX_BLOCK_ROWS 2303

// False when the device mode describes no printable page.
bool ComputeBandGeometry(const EXDEVMODE& devmode, BandGeometry* geometry) noexcept;

// Prints one grey page image of `length` bytes. Rows the image does not
// deliver count as white; false (ERROR_INVALID_DATA) when it is short, or
// ERROR_NOT_ENOUGH_MEMORY when the row buffers cannot be had.
bool SendBand(SPLJOB* job, const BYTE* grey, size_t length) noexcept;
