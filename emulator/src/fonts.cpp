#include "fonts.h"

#include <algorithm>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/stat.h>

namespace qoremu {

namespace {

struct Cell {
    int width;
    int height;
};

constexpr Cell kCells[4] = {{12, 24}, {8, 16}, {24, 24}, {16, 16}};

// Files per font, first choice first; a character missing from one is
// looked up in the next.
const std::vector<std::string> kFiles[4] = {
    {"truetype/dejavu/DejaVuSansMono.ttf", "opentype/ipafont-gothic/ipag.ttf"},
    {"opentype/unifont/unifont.otf", "truetype/dejavu/DejaVuSansMono.ttf", "opentype/ipafont-gothic/ipag.ttf"},
    {"opentype/ipafont-gothic/ipag.ttf", "opentype/unifont/unifont_jp.otf"},
    {"opentype/unifont/unifont_jp.otf", "opentype/unifont/unifont.otf", "opentype/ipafont-gothic/ipag.ttf"},
};

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The file for `relative`: under QOR_EMU_FONT_DIR (as is or by base name),
// else under the system's font folder.
std::string locate(const std::string& relative) {
    if (const char* dir = std::getenv("QOR_EMU_FONT_DIR"); dir && *dir) {
        std::string base = relative.substr(relative.rfind('/') + 1);
        for (const std::string& candidate : {std::string(dir) + "/" + relative, std::string(dir) + "/" + base})
            if (exists(candidate)) return candidate;
        return {};
    }
    std::string path = "/usr/share/fonts/" + relative;
    return exists(path) ? path : std::string();
}

long ceil26(FT_Pos v) { return (v + 63) >> 6; }

}  // namespace

struct Fonts::Face {
    FT_Face face = nullptr;
    int pixel_size = 0;
    int baseline = 0;  // rows from the cell top
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

int font_width(FontId font) { return kCells[int(font)].width; }
int font_height(FontId font) { return kCells[int(font)].height; }

Glyph box_glyph(int width, int height) {
    Glyph g;
    g.width = width;
    g.height = height;
    g.ink.assign(size_t(width) * size_t(height), 0);
    for (int y = 1; y <= height - 2; ++y) {
        for (int x = 1; x <= width - 2; ++x) {
            if (x == 1 || x == width - 2 || y == 1 || y == height - 2) g.ink[size_t(y * width + x)] = 1;
        }
    }
    return g;
}

Fonts::Fonts() {
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) return;
    library_ = library;
    for (int f = 0; f < 4; ++f) {
        const Cell cell = kCells[f];
        for (const auto& relative : kFiles[f]) {
            std::string path = locate(relative);
            if (path.empty()) continue;
            auto face = std::make_unique<Face>();
            if (FT_New_Face(library, path.c_str(), 0, &face->face) != 0) {
                face->face = nullptr;
                continue;
            }
            // Largest pixel size at which a wide letter fits the cell's
            // width and ascent plus descent fit its height.
            FT_UInt probe = FT_Get_Char_Index(face->face, f >= 2 ? 0x6F22 : 'M');
            if (!probe) probe = FT_Get_Char_Index(face->face, 'M');
            for (int size = cell.height; size >= 6; --size) {
                if (FT_Set_Pixel_Sizes(face->face, 0, FT_UInt(size)) != 0) continue;
                long ascent = ceil26(face->face->size->metrics.ascender);
                long descent = ceil26(-face->face->size->metrics.descender);
                long advance = cell.width;
                if (probe && FT_Load_Glyph(face->face, probe, FT_LOAD_DEFAULT) == 0)
                    advance = (face->face->glyph->advance.x + 32) >> 6;
                if (advance <= cell.width && ascent + descent <= cell.height) {
                    face->pixel_size = size;
                    face->baseline = int((cell.height - (ascent + descent)) / 2 + ascent);
                    break;
                }
            }
            if (face->pixel_size) faces_[f].push_back(std::move(face));
        }
    }
}

Fonts::~Fonts() {
    for (auto& list : faces_) list.clear();
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool Fonts::available() const {
    return std::any_of(std::begin(faces_), std::end(faces_), [](const auto& list) { return !list.empty(); });
}

const Glyph& Fonts::glyph(FontId font, char32_t c) {
    auto key = std::make_pair(int(font), c);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    return cache_.emplace(key, render(font, c)).first->second;
}

Glyph Fonts::render(FontId font, char32_t c) {
    const Cell cell = kCells[int(font)];
    if (c == 0) return box_glyph(cell.width, cell.height);
    for (auto& face : faces_[int(font)]) {
        FT_UInt index = FT_Get_Char_Index(face->face, FT_ULong(c));
        if (!index) continue;
        FT_Set_Pixel_Sizes(face->face, 0, FT_UInt(face->pixel_size));
        if (FT_Load_Glyph(face->face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        const FT_GlyphSlot slot = face->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph g;
        g.width = cell.width;
        g.height = cell.height;
        g.ink.assign(size_t(cell.width) * size_t(cell.height), 0);
        int advance = int((slot->advance.x + 32) >> 6);
        int left = (cell.width - std::min(advance, cell.width)) / 2 + slot->bitmap_left;
        int top = face->baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const unsigned char* line = bitmap.buffer + long(row) * bitmap.pitch;
                bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (line[col >> 3] & (0x80 >> (col & 7)))
                                                                   : line[col] >= 128;
                int x = left + int(col), y = top + int(row);
                if (ink && x >= 0 && y >= 0 && x < cell.width && y < cell.height)
                    g.ink[size_t(y * cell.width + x)] = 1;
            }
        }
        return g;
    }
    return box_glyph(cell.width, cell.height);
}

}  // namespace qoremu
