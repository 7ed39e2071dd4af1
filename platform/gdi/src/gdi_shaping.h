// Text in system fonts as glyphs: each character from the font's face, or
// from an installed face that has it when the font's face lacks it, and
// each run of one face shaped by HarfBuzz (ligatures, marks, joining
// scripts, right-to-left runs in their visual order).
#pragma once

#include "gdi_freetype.h"

#include <vector>

namespace qor::gdi {

struct ShapedText {
    std::vector<PlacedGlyph> glyphs;  // origins relative to the pen start on the baseline
    LONG width = 0;                   // the pen's advance
};

ShapedText shape_text(const SizedFace& face, const char16_t* text, size_t count);

// One glyph per character (a surrogate pair is one), at the pen positions
// `origins` of its first code unit; for text the caller places itself.
std::vector<PlacedGlyph> glyphs_at(const SizedFace& face, const char16_t* text, const POINTL* origins,
                                   size_t count);

}  // namespace qor::gdi
