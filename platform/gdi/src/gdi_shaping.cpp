#include "gdi_shaping.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

namespace qor::gdi {

namespace {

// The code point at `i` (a surrogate pair read as one) and its length.
char32_t code_point(const char16_t* text, size_t count, size_t i, size_t* units) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
        *units = 2;
        return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
    }
    *units = 1;
    return unit;
}

bool is_mark(char32_t cp) {
    switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), cp)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
        return true;
    default:
        return false;
    }
}

struct Run {
    std::shared_ptr<FtFace> face;
    size_t start = 0, length = 0;
};

// Runs of one face: marks and format characters stay with the character
// before them, so a cluster is shaped by one face.
std::vector<Run> runs_of(const SizedFace& base, const char16_t* text, size_t count) {
    std::vector<Run> runs;
    for (size_t i = 0; i < count;) {
        size_t units = 1;
        const char32_t cp = code_point(text, count, i, &units);
        std::shared_ptr<FtFace> face;
        if (!runs.empty() && is_mark(cp)) face = runs.back().face;
        else if (!(face = face_with_char(base.face, cp))) face = base.face;  // drawn as its missing glyph
        if (runs.empty() || runs.back().face != face) runs.push_back({face, i, 0});
        runs.back().length += units;
        i += units;
    }
    return runs;
}

struct BufferDeleter {
    void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

}  // namespace

ShapedText shape_text(const SizedFace& base, const char16_t* text, size_t count) {
    ShapedText shaped;
    if (!base.face || count == 0) return shaped;
    int64_t pen = 0;  // 26.6
    std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
    for (const Run& run : runs_of(base, text, count)) {
        hb_buffer_clear_contents(buffer.get());
        hb_buffer_add_utf16(buffer.get(), reinterpret_cast<const uint16_t*>(text), static_cast<int>(count),
                            static_cast<unsigned>(run.start), static_cast<int>(run.length));
        hb_buffer_guess_segment_properties(buffer.get());
        std::lock_guard<std::mutex> guard(run.face->lock);
        if (!run.face->set_size(base.pixel_size)) continue;
        hb_shape(run.face->hb_font(), buffer.get(), nullptr, 0);
        unsigned glyphs = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &glyphs);
        const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer.get(), &glyphs);
        for (unsigned g = 0; g < glyphs; ++g) {
            const int64_t x = pen + position[g].x_offset, y = -int64_t{position[g].y_offset};
            shaped.glyphs.push_back(
                {run.face, info[g].codepoint, {static_cast<LONG>((x + 32) >> 6), static_cast<LONG>((y + 32) >> 6)}});
            pen += position[g].x_advance;
        }
    }
    shaped.width = static_cast<LONG>((pen + 32) >> 6);
    return shaped;
}

std::vector<PlacedGlyph> glyphs_at(const SizedFace& base, const char16_t* text, const POINTL* origins,
                                   size_t count) {
    std::vector<PlacedGlyph> glyphs;
    if (!base.face) return glyphs;
    for (size_t i = 0; i < count;) {
        size_t units = 1;
        const char32_t cp = code_point(text, count, i, &units);
        std::shared_ptr<FtFace> face = face_with_char(base.face, cp);
        if (!face) face = base.face;
        std::lock_guard<std::mutex> guard(face->lock);
        glyphs.push_back({face, FT_Get_Char_Index(face->ft, cp), origins[i]});
        i += units;
    }
    return glyphs;
}

}  // namespace qor::gdi
