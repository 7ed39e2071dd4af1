#include "gdi_freetype.h"

#include "qor/support/utf.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cstdlib>
#include <strings.h>

namespace qor::gdi {

namespace {

struct Library {
    std::mutex lock;      // the caches and fontconfig
    std::mutex ft_lock;   // FT_Library: opening and closing faces
    FT_Library ft = nullptr;
    FcConfig* config = nullptr;
    std::map<std::string, std::weak_ptr<FtFace>> open;
    // Fallback faces by the asking face's family and the character.
    std::map<std::pair<std::string, char32_t>, std::shared_ptr<FtFace>> fallbacks;
};

Library& library() {
    static Library* instance = new Library;  // faces may outlive static destruction order
    return *instance;
}

// The fonts of QOR_FONT_DIRS only (colon-separated) when it is set, else the
// system's configuration. Called with the library lock held.
FcConfig* config(Library& lib) {
    if (lib.config) return lib.config;
    if (const char* list = std::getenv("QOR_FONT_DIRS")) {
        lib.config = FcConfigCreate();
        std::string all = list;
        for (size_t start = 0; start <= all.size();) {
            size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            if (end > start) {
                const std::string dir = all.substr(start, end - start);
                FcConfigAppFontAddDir(lib.config, reinterpret_cast<const FcChar8*>(dir.c_str()));
            }
            start = end + 1;
        }
    } else {
        lib.config = FcInitLoadConfigAndFonts();
    }
    return lib.config;
}

bool ensure_ft(Library& lib) {
    std::lock_guard<std::mutex> guard(lib.ft_lock);
    return lib.ft || FT_Init_FreeType(&lib.ft) == 0;
}

std::string string_of(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    return FcPatternGetString(pattern, object, 0, &value) == FcResultMatch && value
               ? reinterpret_cast<const char*>(value)
               : std::string();
}

// The face of a fontconfig match, opened once per file and index.
std::shared_ptr<FtFace> open_match(Library& lib, FcPattern* match) {
    const std::string path = string_of(match, FC_FILE);
    int index = 0, spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_SPACING, 0, &spacing);
    if (path.empty()) return nullptr;
    const std::string key = path + "#" + std::to_string(index);
    if (auto it = lib.open.find(key); it != lib.open.end())
        if (auto face = it->second.lock()) return face;
    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> guard(lib.ft_lock);
        if (FT_New_Face(lib.ft, path.c_str(), index, &face) != 0) return nullptr;
    }
    if (!FT_IS_SCALABLE(face)) {
        std::lock_guard<std::mutex> guard(lib.ft_lock);
        FT_Done_Face(face);
        return nullptr;
    }
    std::string family = string_of(match, FC_FAMILY);
    if (family.empty() && face->family_name) family = face->family_name;
    auto shared = std::make_shared<FtFace>(face, family, spacing >= FC_MONO || FT_IS_FIXED_WIDTH(face));
    lib.open[key] = shared;
    return shared;
}

// Names applications use for the common families, and their usual stand-ins.
const char* alias_for(const std::string& name) {
    static const std::pair<const char*, const char*> aliases[] = {
        {"Helv", "DejaVu Sans"},          {"Arial", "DejaVu Sans"},
        {"MS Sans Serif", "DejaVu Sans"}, {"Tahoma", "DejaVu Sans"},
        {"Verdana", "DejaVu Sans"},       {"Courier", "DejaVu Sans Mono"},
        {"Courier New", "DejaVu Sans Mono"}, {"Lucida Console", "DejaVu Sans Mono"},
        {"Times New Roman", "DejaVu Serif"}, {"Times", "DejaVu Serif"},
    };
    for (const auto& [from, to] : aliases) {
        if (strcasecmp(from, name.c_str()) == 0) return to;
    }
    return nullptr;
}

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

Pattern request(const std::string& family, bool bold, bool italic, bool fixed) {
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (fixed) FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    return pattern;
}

// Called with the library lock held.
bool family_installed(Library& lib, const std::string& family) {
    Pattern pattern(FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family.c_str(), nullptr));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(config(lib), pattern.get(), objects);
    const bool found = set && set->nfont > 0;
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    return found;
}

// Called with the library lock held.
std::shared_ptr<FtFace> match(Library& lib, const std::string& family, bool bold, bool italic, bool fixed) {
    Pattern pattern = request(family, bold, italic, fixed);
    FcConfigSubstitute(config(lib), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern found(FcFontMatch(config(lib), pattern.get(), &result));
    return found ? open_match(lib, found.get()) : nullptr;
}

}  // namespace

FtFace::FtFace(FT_Face face, std::string family, bool fixed) : ft(face), family_(std::move(family)), fixed_(fixed) {}

FtFace::~FtFace() {
    if (hb_) hb_font_destroy(hb_);
    std::lock_guard<std::mutex> guard(library().ft_lock);
    FT_Done_Face(ft);
}

bool FtFace::has_char(char32_t ch) {
    std::lock_guard<std::mutex> guard(lock);
    return FT_Get_Char_Index(ft, ch) != 0;
}

bool FtFace::set_size(LONG pixel_size) {
    if (pixel_size == size_) return true;
    if (FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(pixel_size)) != 0) return false;
    size_ = pixel_size;
    if (hb_) hb_ft_font_changed(hb_);
    return true;
}

hb_font_t* FtFace::hb_font() {
    if (!hb_) {
        hb_ = hb_ft_font_create_referenced(ft);
        // Advances as the one-bit glyphs are drawn.
        hb_ft_font_set_load_flags(hb_, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO);
    }
    return hb_;
}

std::shared_ptr<FtFace> find_face(const LOGFONTW& logfont) {
    Library& lib = library();
    if (!ensure_ft(lib)) return nullptr;
    const size_t length = std::min<size_t>(wide_length(logfont.lfFaceName), LF_FACESIZE);
    std::string name = utf16_to_utf8(logfont.lfFaceName, length);
    const bool bold = logfont.lfWeight >= FW_BOLD;
    const bool italic = logfont.lfItalic != 0;
    const bool fixed =
        (logfont.lfPitchAndFamily & 3) == FIXED_PITCH || (logfont.lfPitchAndFamily & 0xF0) == FF_MODERN;
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!name.empty() && !family_installed(lib, name)) {
        if (const char* alias = alias_for(name)) name = alias;
    }
    if (name.empty()) name = fixed ? "DejaVu Sans Mono" : "DejaVu Sans";
    return match(lib, name, bold, italic, fixed && !family_installed(lib, name));
}

std::shared_ptr<FtFace> fixed_pitch_face() {
    LOGFONTW logfont{};
    logfont.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    logfont.lfWeight = FW_NORMAL;
    return find_face(logfont);
}

std::shared_ptr<FtFace> face_with_char(const std::shared_ptr<FtFace>& near, char32_t ch) {
    if (near && near->has_char(ch)) return near;
    Library& lib = library();
    if (!ensure_ft(lib)) return nullptr;
    const std::string family = near ? near->family() : std::string("DejaVu Sans Mono");
    std::lock_guard<std::mutex> guard(lib.lock);
    const auto key = std::make_pair(family, ch);
    if (auto it = lib.fallbacks.find(key); it != lib.fallbacks.end()) return it->second;
    std::shared_ptr<FtFace> found;
    Pattern pattern = request(family, false, false, near && near->fixed());
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, ch);
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, wanted);
    FcCharSetDestroy(wanted);
    FcConfigSubstitute(config(lib), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    if (FcFontSet* sorted = FcFontSort(config(lib), pattern.get(), FcFalse, nullptr, &result)) {
        for (int i = 0; i < sorted->nfont && !found; ++i) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, ch))
                continue;
            Pattern candidate(FcFontRenderPrepare(config(lib), pattern.get(), sorted->fonts[i]));
            if (auto face = candidate ? open_match(lib, candidate.get()) : nullptr; face && face->has_char(ch))
                found = face;
        }
        FcFontSetDestroy(sorted);
    }
    lib.fallbacks[key] = found;
    return found;
}

std::vector<std::u16string> installed_families() {
    Library& lib = library();
    std::vector<std::u16string> families;
    std::lock_guard<std::mutex> guard(lib.lock);
    Pattern pattern(FcPatternCreate());
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(config(lib), pattern.get(), objects);
    FcObjectSetDestroy(objects);
    if (!set) return families;
    std::vector<std::string> names;
    for (int i = 0; i < set->nfont; ++i) {
        const std::string name = string_of(set->fonts[i], FC_FAMILY);
        if (!name.empty()) names.push_back(name);
    }
    FcFontSetDestroy(set);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names) families.push_back(utf8_to_utf16(name));
    return families;
}

std::u16string family_of(const FtFace& face) { return utf8_to_utf16(face.family()); }

LONG pixel_size_for(FtFace& face, LONG lf_height) {
    constexpr LONG kDefault = 33;  // 12 points at 203 dots per inch
    if (lf_height < 0) return lf_height < -4000 ? 4000 : -lf_height;
    if (lf_height == 0) return kDefault;
    std::lock_guard<std::mutex> guard(face.lock);
    FT_Face f = face.ft;
    LONG cell = f->ascender - f->descender;
    if (cell <= 0 || f->units_per_EM == 0) return std::min<LONG>(lf_height, 4000);
    int64_t em = static_cast<int64_t>(lf_height) * f->units_per_EM / cell;
    return static_cast<LONG>(std::clamp<int64_t>(em, 1, 4000));
}

FaceMetrics face_metrics(const SizedFace& sized) {
    FaceMetrics metrics;
    std::lock_guard<std::mutex> guard(sized.face->lock);
    FT_Face f = sized.face->ft;
    if (!sized.face->set_size(sized.pixel_size)) return metrics;
    metrics.ascent = static_cast<LONG>((f->size->metrics.ascender + 63) >> 6);
    metrics.descent = static_cast<LONG>((-f->size->metrics.descender + 63) >> 6);
    metrics.max_width = static_cast<LONG>((f->size->metrics.max_advance + 63) >> 6);
    if (FT_Load_Char(f, 'x', FT_LOAD_DEFAULT) == 0) {
        metrics.average_width = static_cast<LONG>((f->glyph->advance.x + 32) >> 6);
    }
    return metrics;
}

namespace {

// Copies the rendered glyph of `f` with its bitmap's top-left at (left, top).
void blit(FT_Face f, int64_t left, int64_t top, SURFOBJ* surface, ULONG color, const RECTL& area) {
    const FT_Bitmap& bitmap = f->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return;
    const uint8_t b = static_cast<uint8_t>(color), g = static_cast<uint8_t>(color >> 8),
                  r = static_cast<uint8_t>(color >> 16);
    auto* scan0 = static_cast<uint8_t*>(surface->pvScan0);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int64_t y = top + row;
        if (y < area.top || y >= area.bottom) continue;
        const uint8_t* bits = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        uint8_t* line = scan0 + static_cast<ptrdiff_t>(y) * surface->lDelta;
        for (unsigned col = 0; col < bitmap.width; ++col) {
            if (!(bits[col >> 3] & (0x80 >> (col & 7)))) continue;
            const int64_t x = left + col;
            if (x < area.left || x >= area.right) continue;
            uint8_t* pixel = line + x * 3;
            pixel[0] = b;
            pixel[1] = g;
            pixel[2] = r;
        }
    }
}

bool drawable(SURFOBJ* surface, const RECTL& clip, RECTL* area) {
    if (!surface || surface->iBitmapFormat != BMF_24BPP || !surface->pvScan0) return false;
    *area = RECTL{std::max<LONG>(clip.left, 0), std::max<LONG>(clip.top, 0),
                  std::min<LONG>(clip.right, surface->sizlBitmap.cx), std::min<LONG>(clip.bottom, surface->sizlBitmap.cy)};
    return area->left < area->right && area->top < area->bottom;
}

void outline_box(const RECTL& cell, SURFOBJ* surface, ULONG color, const RECTL& area) {
    const uint8_t pixel[3] = {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color >> 16)};
    auto* scan0 = static_cast<uint8_t*>(surface->pvScan0);
    const LONG left = cell.left + 1, right = cell.right - 2, top = cell.top + 1, bottom = cell.bottom - 2;
    for (LONG y = top; y <= bottom; ++y)
        for (LONG x = left; x <= right; ++x) {
            if (y != top && y != bottom && x != left && x != right) continue;
            if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) continue;
            std::copy(pixel, pixel + 3, scan0 + static_cast<ptrdiff_t>(y) * surface->lDelta + x * 3);
        }
}

}  // namespace

void draw_glyphs(const std::vector<PlacedGlyph>& glyphs, LONG pixel_size, SURFOBJ* surface, ULONG color,
                 const RECTL& clip) {
    RECTL area;
    if (!drawable(surface, clip, &area)) return;
    for (const PlacedGlyph& placed : glyphs) {
        if (!placed.face) continue;
        std::lock_guard<std::mutex> guard(placed.face->lock);
        FT_Face f = placed.face->ft;
        if (!placed.face->set_size(pixel_size) ||
            FT_Load_Glyph(f, placed.glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
            continue;
        blit(f, static_cast<int64_t>(placed.origin.x) + f->glyph->bitmap_left,
             static_cast<int64_t>(placed.origin.y) - f->glyph->bitmap_top, surface, color, area);
    }
}

void draw_in_cell(const std::shared_ptr<FtFace>& near, char32_t ch, const RECTL& cell, SURFOBJ* surface,
                  ULONG color, const RECTL& clip) {
    RECTL area;
    RECTL inside{std::max(clip.left, cell.left), std::max(clip.top, cell.top), std::min(clip.right, cell.right),
                 std::min(clip.bottom, cell.bottom)};
    if (!drawable(surface, inside, &area)) return;
    const LONG width = cell.right - cell.left, height = cell.bottom - cell.top;
    std::shared_ptr<FtFace> face = face_with_char(near, ch);
    if (!face || width <= 0 || height <= 0) {
        outline_box(cell, surface, color, area);
        return;
    }
    std::lock_guard<std::mutex> guard(face->lock);
    FT_Face f = face->ft;
    const FT_UInt index = FT_Get_Char_Index(f, ch);
    const LONG cell_units = f->ascender - f->descender;
    if (index == 0 || cell_units <= 0 || FT_Load_Glyph(f, index, FT_LOAD_NO_SCALE) != 0) {
        outline_box(cell, surface, color, area);
        return;
    }
    // The largest em at which the face's line fits the cell's height and
    // the glyph's advance its width.
    const int64_t advance_units = std::max<int64_t>(1, f->glyph->advance.x);
    const int64_t em = std::max<int64_t>(
        1, std::min<int64_t>(int64_t{height} * f->units_per_EM / cell_units, int64_t{width} * f->units_per_EM / advance_units));
    if (!face->set_size(static_cast<LONG>(em)) || FT_Load_Glyph(f, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
        outline_box(cell, surface, color, area);
        return;
    }
    const int64_t baseline = cell.bottom + f->descender * em / f->units_per_EM;
    const int64_t advance = (f->glyph->advance.x + 32) >> 6;
    const int64_t left = cell.left + (width - advance) / 2;
    blit(f, left + f->glyph->bitmap_left, baseline - f->glyph->bitmap_top, surface, color, area);
}

}  // namespace qor::gdi
