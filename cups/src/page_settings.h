// The device-mode settings a CUPS job carries to the backend. The queue's
// description file puts each option's value into a numbered integer of the
// raster page header (value + 1, so 0 reads "not given"), and the paper
// code into another; the backend takes them from every page.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <cups/raster.h>

#include <optional>
#include <string>

namespace qorcups {

// Indexes into cupsInteger[] of the page header.
enum HeaderSlot : int {
    kSlotDither = 0,
    kSlotBright = 1,
    kSlotDensity = 2,
    kSlotQuality = 3,
    kSlotCut = 4,
    kSlotMode = 5,
    kSlotKind = 6,
    kSlotPaper = 7,
};

struct PageSettings {
    std::optional<int> paper;  // description paper code
    std::optional<int> dither, bright, density, quality, cut, mode, kind;
};

// Reads the settings of one page header. Values outside the printer's
// ranges (the description's, else the device mode's) are refused with a
// message naming the option, so a damaged or foreign header never reaches
// the device mode.
bool ReadPageSettings(const cups_page_header2_t& header, const PpdData& ppd, PageSettings* settings,
                      std::string* error);

// Applies the settings on top of `devmode`; the paper is looked up in the
// description (else, when the header names none, the page size picks the
// paper of that size). False when the paper is not the description's.
bool ApplyPageSettings(const PageSettings& settings, const cups_page_header2_t& header, const PpdData& ppd,
                       EXDEVMODE* devmode, std::string* error);

}  // namespace qorcups
