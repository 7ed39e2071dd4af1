// The two device fonts: their metrics blocks and glyph sets.
#pragma once

#include "pdev.h"

#define DEVICE_FONT_NAME u"QOR Original"
#define FONT_NAME_SLOT_CHARS 64

// Cell height of the character generator `Font` selects (1: 24 dots, else 16).
LONG DeviceCellHeight(const PDEV* pdev);
// Builds device_font_count metrics blocks in the private heap.
BOOL BuildFontMetrics(PDEV* pdev);
// The metrics block of face 1..count, or null.
IFIMETRICS* FontMetricsOf(PDEV* pdev, ULONG face);
LONG iHipot(LONG x, LONG y);
