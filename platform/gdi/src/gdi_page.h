// A recorded page: the drawing calls of one page, kept in page coordinates
// until the page is played into the driver's band.
#pragma once

#include "gdi_font.h"

#include <memory>
#include <variant>
#include <vector>

namespace qor::gdi {

// Colours as band pixels: blue in the low byte.
ULONG pixel_from_colorref(COLORREF color);
COLORREF colorref_from_pixel(ULONG pixel);

struct FillCommand {
    RECTL rect{};  // exclusive right and bottom
    ULONG color = 0;
};

struct LineCommand {
    POINTL from{}, to{};
    LONG width = 1;
    ULONG color = 0;
};

// A source image normalised to top-down 24-bit rows (blue first), drawn
// into `dest`; a negative width or height mirrors it.
struct ImageCommand {
    LONG x = 0, y = 0, width = 0, height = 0;
    LONG src_width = 0, src_height = 0;
    std::shared_ptr<const std::vector<uint8_t>> bgr;
};

struct TextCommand {
    std::shared_ptr<RealizedFont> font;
    std::u16string text;
    std::vector<POINTL> origins;      // baseline origin of every character
    std::vector<PlacedGlyph> glyphs;  // system fonts: the shaped glyphs, page coordinates
    ULONG color = 0;
    RECTL clip{};                 // page area the text may touch
    bool default_placement = true;
};

using Command = std::variant<FillCommand, LineCommand, ImageCommand, TextCommand>;

struct Page {
    std::vector<Command> commands;
};

// Plays the page into the band whose top-left page position is `origin`.
// Device-font text goes to the driver's DrvTextOut; the rest is drawn here.
// False when the driver refused text output.
bool play_page(Device& device, const Page& page, POINTL origin);

// Scales one image into a 24-bit surface at the band offset.
void draw_image(const ImageCommand& image, SURFOBJ* surface, POINTL origin);
void fill_rect(SURFOBJ* surface, RECTL rect, ULONG color);

}  // namespace qor::gdi
