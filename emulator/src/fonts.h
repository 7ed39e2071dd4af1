// The resident fonts: 12x24 and 8x16 single-byte, 24x24 and 16x16
// double-byte, rendered once per character with FreeType (no anti-aliasing,
// so the result is deterministic) from the fonts the system packages give.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qoremu {

enum class FontId { Ank12x24 = 0, Ank8x16 = 1, Kanji24x24 = 2, Kanji16x16 = 3 };

struct Glyph {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> ink;  // width * height, 1 = ink, row by row
    bool at(int x, int y) const { return ink[size_t(y) * size_t(width) + size_t(x)] != 0; }
};

int font_width(FontId font);
int font_height(FontId font);

// The outline a character the font lacks prints as.
Glyph box_glyph(int width, int height);

class Fonts {
public:
    // Font files come from QOR_EMU_FONT_DIR when set, else the system's.
    Fonts();
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // The glyph of `c` in `font`, a box when no resident font has it (or
    // c is 0). The reference stays valid as long as the Fonts object.
    const Glyph& glyph(FontId font, char32_t c);
    // False when no font file could be opened (everything prints as boxes).
    bool available() const;

private:
    struct Face;
    Glyph render(FontId font, char32_t c);
    void* library_ = nullptr;
    std::vector<std::unique_ptr<Face>> faces_[4];
    std::map<std::pair<int, char32_t>, Glyph> cache_;
};

}  // namespace qoremu
