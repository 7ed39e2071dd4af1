#include "gdi_freetype.h"

#include "qor/support/utf.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>

namespace qor::gdi {

// FreeType faces are not thread-safe: every use holds the face's lock.
class FtFace {
public:
    FtFace(FT_Face face, std::string family, bool bold, bool italic, bool fixed)
        : face_(face), family_(std::move(family)), bold_(bold), italic_(italic), fixed_(fixed) {}
    ~FtFace() { FT_Done_Face(face_); }
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;

    FT_Face face_;
    std::mutex lock_;
    std::string family_;
    bool bold_, italic_, fixed_;
};

namespace {

struct FontFile {
    std::string path;
    long index;
    std::string family;
    bool bold, italic, fixed;
};

struct Library {
    std::mutex lock;
    FT_Library ft = nullptr;
    bool scanned = false;
    std::vector<FontFile> files;
    std::vector<std::pair<std::string, std::weak_ptr<FtFace>>> open;
};

Library& library() {
    static Library* instance = new Library;  // faces may outlive static destruction order
    return *instance;
}

bool has_font_suffix(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    return strcasecmp(ext.c_str(), "ttf") == 0 || strcasecmp(ext.c_str(), "otf") == 0 ||
           strcasecmp(ext.c_str(), "ttc") == 0;
}

void scan_folder(Library& lib, const std::string& folder, int depth) {
    if (depth > 6) return;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path = folder + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            scan_folder(lib, path, depth + 1);
        } else if (S_ISREG(st.st_mode) && has_font_suffix(name)) {
            FT_Face face = nullptr;
            if (FT_New_Face(lib.ft, path.c_str(), 0, &face) != 0) continue;
            if (FT_IS_SCALABLE(face) && face->family_name) {
                lib.files.push_back({path, 0, face->family_name, (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                                     (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0,
                                     FT_IS_FIXED_WIDTH(face) != 0});
            }
            FT_Done_Face(face);
        }
    }
    closedir(dir);
}

// Called with the library lock held.
bool ensure_scanned(Library& lib) {
    if (!lib.ft && FT_Init_FreeType(&lib.ft) != 0) return false;
    if (lib.scanned) return true;
    lib.scanned = true;
    std::vector<std::string> folders;
    if (const char* list = std::getenv("QOR_FONT_DIRS")) {
        std::string all = list;
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            if (end > start) folders.push_back(all.substr(start, end - start));
            start = end + 1;
        }
    } else {
        folders = {"/usr/share/fonts", "/usr/local/share/fonts"};
        if (const char* data = std::getenv("XDG_DATA_HOME")) folders.push_back(std::string(data) + "/fonts");
    }
    for (const auto& folder : folders) scan_folder(lib, folder, 0);
    // Regular styles first, then by path, so choices do not depend on readdir order.
    std::sort(lib.files.begin(), lib.files.end(), [](const FontFile& a, const FontFile& b) {
        if (a.bold + a.italic != b.bold + b.italic) return a.bold + a.italic < b.bold + b.italic;
        return a.path < b.path;
    });
    return true;
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

const FontFile* pick(const Library& lib, const std::string& family, bool bold, bool italic) {
    const FontFile* best = nullptr;
    int best_score = -1;
    for (const auto& file : lib.files) {
        if (strcasecmp(file.family.c_str(), family.c_str()) != 0) continue;
        int score = (file.bold == bold) * 2 + (file.italic == italic);
        if (score > best_score) best = &file, best_score = score;
    }
    return best;
}

std::shared_ptr<FtFace> open_face(Library& lib, const FontFile& file) {
    std::string key = file.path + "#" + std::to_string(file.index);
    for (auto& [path, weak] : lib.open) {
        if (path == key) {
            if (auto face = weak.lock()) return face;
        }
    }
    FT_Face face = nullptr;
    if (FT_New_Face(lib.ft, file.path.c_str(), file.index, &face) != 0) return nullptr;
    auto shared = std::make_shared<FtFace>(face, file.family, file.bold, file.italic, file.fixed);
    lib.open.emplace_back(key, shared);
    return shared;
}

}  // namespace

std::shared_ptr<FtFace> find_face(const LOGFONTW& logfont) {
    Library& lib = library();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!ensure_scanned(lib) || lib.files.empty()) return nullptr;
    std::string name = utf16_to_utf8(logfont.lfFaceName, wide_length(logfont.lfFaceName) < LF_FACESIZE
                                                             ? wide_length(logfont.lfFaceName)
                                                             : LF_FACESIZE);
    bool bold = logfont.lfWeight >= FW_BOLD;
    bool italic = logfont.lfItalic != 0;
    bool fixed = (logfont.lfPitchAndFamily & 3) == FIXED_PITCH || (logfont.lfPitchAndFamily & 0xF0) == FF_MODERN;
    const FontFile* file = name.empty() ? nullptr : pick(lib, name, bold, italic);
    if (!file && !name.empty()) {
        if (const char* alias = alias_for(name)) file = pick(lib, alias, bold, italic);
    }
    if (!file) file = pick(lib, fixed ? "DejaVu Sans Mono" : "DejaVu Sans", bold, italic);
    if (!file) {
        for (const auto& candidate : lib.files) {
            if (candidate.fixed == fixed) { file = &candidate; break; }
        }
    }
    if (!file) file = &lib.files.front();
    return open_face(lib, *file);
}

std::shared_ptr<FtFace> fixed_pitch_face() {
    LOGFONTW logfont{};
    logfont.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    logfont.lfWeight = FW_NORMAL;
    return find_face(logfont);
}

std::vector<std::u16string> installed_families() {
    Library& lib = library();
    std::lock_guard<std::mutex> guard(lib.lock);
    std::vector<std::u16string> families;
    if (!ensure_scanned(lib)) return families;
    for (const auto& file : lib.files) {
        auto wide = utf8_to_utf16(file.family);
        if (std::find(families.begin(), families.end(), wide) == families.end()) families.push_back(wide);
    }
    return families;
}

std::u16string family_of(const FtFace& face) { return utf8_to_utf16(face.family_); }

LONG pixel_size_for(const FtFace& face, LONG lf_height) {
    constexpr LONG kDefault = 33;  // 12 points at 203 dots per inch
    if (lf_height < 0) return lf_height < -4000 ? 4000 : -lf_height;
    if (lf_height == 0) return kDefault;
    FT_Face f = face.face_;
    LONG cell = f->ascender - f->descender;
    if (cell <= 0 || f->units_per_EM == 0) return std::min<LONG>(lf_height, 4000);
    int64_t em = static_cast<int64_t>(lf_height) * f->units_per_EM / cell;
    return static_cast<LONG>(std::clamp<int64_t>(em, 1, 4000));
}

FaceMetrics face_metrics(const SizedFace& sized) {
    FaceMetrics metrics;
    std::lock_guard<std::mutex> guard(sized.face->lock_);
    FT_Face f = sized.face->face_;
    if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(sized.pixel_size)) != 0) return metrics;
    metrics.ascent = static_cast<LONG>((f->size->metrics.ascender + 63) >> 6);
    metrics.descent = static_cast<LONG>((-f->size->metrics.descender + 63) >> 6);
    metrics.max_width = static_cast<LONG>((f->size->metrics.max_advance + 63) >> 6);
    if (FT_Load_Char(f, 'x', FT_LOAD_DEFAULT) == 0) {
        metrics.average_width = static_cast<LONG>((f->glyph->advance.x + 32) >> 6);
    }
    return metrics;
}

LONG advance_of(const SizedFace& sized, char16_t ch) {
    std::lock_guard<std::mutex> guard(sized.face->lock_);
    FT_Face f = sized.face->face_;
    if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(sized.pixel_size)) != 0) return 0;
    if (FT_Load_Char(f, ch, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return 0;
    return static_cast<LONG>((f->glyph->advance.x + 32) >> 6);
}

void draw_glyphs(const SizedFace& sized, const char16_t* text, const POINTL* origins, size_t count,
                 SURFOBJ* surface, ULONG color, const RECTL& clip) {
    if (!surface || surface->iBitmapFormat != BMF_24BPP || !surface->pvScan0) return;
    RECTL area{std::max<LONG>(clip.left, 0), std::max<LONG>(clip.top, 0),
               std::min<LONG>(clip.right, surface->sizlBitmap.cx),
               std::min<LONG>(clip.bottom, surface->sizlBitmap.cy)};
    if (area.left >= area.right || area.top >= area.bottom) return;
    const uint8_t b = static_cast<uint8_t>(color), g = static_cast<uint8_t>(color >> 8),
                  r = static_cast<uint8_t>(color >> 16);
    std::lock_guard<std::mutex> guard(sized.face->lock_);
    FT_Face f = sized.face->face_;
    if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(sized.pixel_size)) != 0) return;
    auto* scan0 = static_cast<uint8_t*>(surface->pvScan0);
    for (size_t i = 0; i < count; ++i) {
        if (FT_Load_Char(f, text[i], FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        const FT_Bitmap& bitmap = f->glyph->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) continue;
        int64_t left = static_cast<int64_t>(origins[i].x) + f->glyph->bitmap_left;
        int64_t top = static_cast<int64_t>(origins[i].y) - f->glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            int64_t y = top + row;
            if (y < area.top || y >= area.bottom) continue;
            const uint8_t* bits = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
            uint8_t* line = scan0 + static_cast<ptrdiff_t>(y) * surface->lDelta;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                if (!(bits[col >> 3] & (0x80 >> (col & 7)))) continue;
                int64_t x = left + col;
                if (x < area.left || x >= area.right) continue;
                uint8_t* pixel = line + x * 3;
                pixel[0] = b;
                pixel[1] = g;
                pixel[2] = r;
            }
        }
    }
}

}  // namespace qor::gdi
