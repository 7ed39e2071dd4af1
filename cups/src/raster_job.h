// Prints a CUPS raster stream on a suite printer through the graphics
// engine: one engine page per raster page, with the device mode each page
// header asks for, so the job takes the whole road (rendering driver,
// spooler-side driver, print service, language monitor).
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qorcups {

// Largest raster page taken, in dots: wider than any head, longer than a
// metre of paper. Larger headers are refused before anything is allocated.
inline constexpr unsigned kMaxRasterWidth = 4096;
inline constexpr unsigned kMaxRasterHeight = 16384;

// Checks what the page header says about the pixel layout: 8-bit grey at
// 203 dpi, rows long enough for the width, and within the limits above.
bool CheckRasterHeader(const cups_page_header2_t& header, std::string* error);

// The printable columns of a raster row `raster_width` dots wide for a
// paper `area_width` dots wide: the centred part (rolls print their width
// less equal margins); a narrower raster is used whole.
struct Columns {
    unsigned first, count;
};
Columns PrintableColumns(unsigned raster_width, unsigned area_width);

struct RasterJob {
    std::u16string printer;
    std::string title;
    const PpdData* ppd = nullptr;
    EXDEVMODE base{};  // where every page's settings start
};

struct RasterOutcome {
    DWORD job_id = 0;  // the print service's job, 0 when none was made
    int pages = 0;
};

// Reads pages from `fd` until its end. Each page is read whole before it is
// drawn; a damaged stream aborts the document (the service's job goes with
// it). Data after the first raster stream (CUPS sends the documents of a
// job of several files one after another) is reported as an error once the
// first has been printed. `page_done` hears the number of each page handed
// over.
bool PrintRaster(int fd, const RasterJob& job, const std::function<void(int)>& page_done, RasterOutcome* outcome,
                 std::string* error);

}  // namespace qorcups
