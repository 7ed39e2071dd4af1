// System fonts through fontconfig and FreeType: finding a face for a
// logical font, falling back on another installed face for characters it
// lacks, and drawing glyphs into a 24-bit surface.
#pragma once

#include "qor/ddi.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct hb_font_t;
typedef struct FT_FaceRec_* FT_Face;  // as FreeType declares it

namespace qor::gdi {

// One opened font file. FreeType faces are not thread-safe: every use of
// `ft` (and of the HarfBuzz font made from it) holds `lock`.
class FtFace {
public:
    FtFace(FT_Face face, std::string family, bool fixed);
    ~FtFace();
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;

    const std::string& family() const { return family_; }
    bool fixed() const { return fixed_; }
    bool has_char(char32_t ch);

    std::mutex lock;
    FT_Face ft;
    // With the lock held: the face at `pixel_size`, and its HarfBuzz font.
    bool set_size(LONG pixel_size);
    hb_font_t* hb_font();

private:
    std::string family_;
    bool fixed_;
    hb_font_t* hb_ = nullptr;
    LONG size_ = 0;
};

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

// The face fontconfig matches for a logical font: the family named by the
// face name (common platform names map to the installed equivalents), else
// the closest installed one. Null when no font is installed.
std::shared_ptr<FtFace> find_face(const LOGFONTW& logfont);
// A fixed-pitch face standing in for a device font in the band.
std::shared_ptr<FtFace> fixed_pitch_face();
// `near` itself when it has `ch`, else the first installed face in
// fontconfig's order of fallbacks for `near` that has it. Null when no
// installed face has the character.
std::shared_ptr<FtFace> face_with_char(const std::shared_ptr<FtFace>& near, char32_t ch);

// The em height in pixels for a LOGFONT height (negative: em height,
// positive: cell height, 0: the default size).
LONG pixel_size_for(FtFace& face, LONG lf_height);
FaceMetrics face_metrics(const SizedFace& face);
std::u16string family_of(const FtFace& face);

// Every installed family, once each, for font enumeration.
std::vector<std::u16string> installed_families();

// A glyph of a face, with its baseline origin in surface pixels.
struct PlacedGlyph {
    std::shared_ptr<FtFace> face;
    uint32_t glyph = 0;  // the face's glyph index
    POINTL origin{};
};

// Draws one-bit glyphs at `pixel_size` in `color` (blue in the low byte),
// inside `clip`.
void draw_glyphs(const std::vector<PlacedGlyph>& glyphs, LONG pixel_size, SURFOBJ* surface, ULONG color,
                 const RECTL& clip);

// Draws `ch` as large as fits into `cell` (and within `clip`), centred
// across it and standing on the cell's bottom, from `near` or the installed
// face that face_with_char finds; an outline box when none has it. For
// characters a device font lacks.
void draw_in_cell(const std::shared_ptr<FtFace>& near, char32_t ch, const RECTL& cell, SURFOBJ* surface,
                  ULONG color, const RECTL& clip);

}  // namespace qor::gdi
