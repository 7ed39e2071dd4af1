// Tables of the halftoning methods. Matrix entries are indexed
// 8 * (x mod 8) + (y mod 8); a pattern row mask has bit 0x80 for x mod 8 = 0.
#pragma once

#include "qor/base.h"

extern const BYTE kClusteredMatrix[64];
extern const BYTE kDispersedMatrix[64];
extern const BYTE kLevelPatterns[32][8];
extern const BYTE kDiffusionThresholds[256];
