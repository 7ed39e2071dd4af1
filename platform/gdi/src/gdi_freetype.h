// System fonts through FreeType: finding a face for a logical font and
// drawing its glyphs into a 24-bit surface.
#pragma once

#include "qor/ddi.h"

#include <memory>
#include <string>
#include <vector>

namespace qor::gdi {

class FtFace;

struct FaceMetrics {
    LONG ascent = 0;   // pixels above the baseline
    LONG descent = 0;  // pixels below it
    LONG average_width = 0;
    LONG max_width = 0;
};

// A face at one pixel size (the em height).
struct SizedFace {
    std::shared_ptr<FtFace> face;
    LONG pixel_size = 0;
};

// The face for a logical font: the family named by the face name (common
// platform names map to the installed equivalents), else a family of the
// same pitch, else any installed font. Null when no font file exists.
std::shared_ptr<FtFace> find_face(const LOGFONTW& logfont);
// A fixed-pitch face standing in for a device font in the band.
std::shared_ptr<FtFace> fixed_pitch_face();

// The em height in pixels for a LOGFONT height (negative: em height,
// positive: cell height, 0: the default size).
LONG pixel_size_for(const FtFace& face, LONG lf_height);
FaceMetrics face_metrics(const SizedFace& face);
LONG advance_of(const SizedFace& face, char16_t ch);
std::u16string family_of(const FtFace& face);

// Every installed family, once each, for font enumeration.
std::vector<std::u16string> installed_families();

// Draws text[i] with its baseline origin at origins[i] (surface pixels),
// one-bit glyphs in `color` (blue in the low byte), inside `clip`.
void draw_glyphs(const SizedFace& face, const char16_t* text, const POINTL* origins, size_t count,
                 SURFOBJ* surface, ULONG color, const RECTL& clip);

}  // namespace qor::gdi
