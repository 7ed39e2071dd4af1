// The CUPS description file of a queue that prints on a suite printer:
// its papers, 203 dpi grey raster, and one option per device-mode setting,
// each choice writing its value into the raster page header for the
// backend (see page_settings.h).
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <string>

namespace qorcups {

struct QueueModel {
    std::string model;     // "ZEM-D510x"
    std::string nickname;  // shown by CUPS
};

// The PageSize keyword of a description paper: "58x100mm" (whole
// millimetres as the description writes them), "80x297mm".
std::string PaperKeyword(const PaperMetrix& paper);

// The whole file. Defaults are the settings of `defaults` (see
// option_defaults.h); its current paper is the default media.
std::string WriteQueuePpd(const PpdData& ppd, const QueueModel& model, const EXDEVMODE& defaults);

}  // namespace qorcups
