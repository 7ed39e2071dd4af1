// The engine's side of canvas device contexts.
#pragma once

#include "gdi_dc.h"

namespace qor::gdi {

// The logical font selected into the context (all zero for a stock font).
LOGFONTW canvas_font(const Dc& dc);
// ExtTextOut on a canvas context.
bool canvas_text(Dc& dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);

}  // namespace qor::gdi
