// Playing a recorded page into the driver's band.
#include "gdi_page.h"
#include "gdi_textobj.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qor::gdi {

ULONG pixel_from_colorref(COLORREF color) {
    return (static_cast<ULONG>(GetRValue(color)) << 16) | (static_cast<ULONG>(GetGValue(color)) << 8) |
           GetBValue(color);
}

COLORREF colorref_from_pixel(ULONG pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void fill_rect(SURFOBJ* surface, RECTL rect, ULONG color) {
    LONG left = std::max<LONG>(rect.left, 0), top = std::max<LONG>(rect.top, 0);
    LONG right = std::min<LONG>(rect.right, surface->sizlBitmap.cx);
    LONG bottom = std::min<LONG>(rect.bottom, surface->sizlBitmap.cy);
    if (left >= right || top >= bottom) return;
    const uint8_t pixel[3] = {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color >> 16)};
    auto* scan0 = static_cast<uint8_t*>(surface->pvScan0);
    for (LONG y = top; y < bottom; ++y) {
        uint8_t* p = scan0 + static_cast<ptrdiff_t>(y) * surface->lDelta + static_cast<ptrdiff_t>(left) * 3;
        for (LONG x = left; x < right; ++x, p += 3) std::memcpy(p, pixel, 3);
    }
}

namespace {

RECTL offset(RECTL rect, POINTL origin) {
    auto shift = [](LONG v, LONG by) {
        int64_t r = static_cast<int64_t>(v) - by;
        return static_cast<LONG>(std::clamp<int64_t>(r, INT32_MIN / 2, INT32_MAX / 2));
    };
    return {shift(rect.left, origin.x), shift(rect.top, origin.y), shift(rect.right, origin.x),
            shift(rect.bottom, origin.y)};
}

// Lines walk the points Bresenham's algorithm visits, found directly for
// each step: the minor coordinate is the step scaled and rounded half up.
// Every band then sees the same points, however far off the line starts,
// and only the steps near the band are walked.
void draw_line(SURFOBJ* surface, const LineCommand& line, POINTL origin) {
    __extension__ using Wide = __int128;
    const LONG width = std::clamp<LONG>(line.width, 1, 1000);
    const int64_t x0 = static_cast<int64_t>(line.from.x) - origin.x, y0 = static_cast<int64_t>(line.from.y) - origin.y;
    const int64_t dx = static_cast<int64_t>(line.to.x) - line.from.x, dy = static_cast<int64_t>(line.to.y) - line.from.y;
    const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    // The end point is not drawn, as the platform's lines leave it out.
    const int64_t steps = x_major ? std::llabs(dx) : std::llabs(dy);
    const int64_t minor_run = x_major ? std::llabs(dy) : std::llabs(dx);
    if (steps == 0) return;
    const int64_t major0 = x_major ? x0 : y0, major_sign = x_major ? sx : sy;
    const int64_t low = -width, high = static_cast<int64_t>(x_major ? surface->sizlBitmap.cx : surface->sizlBitmap.cy) + width;
    int64_t first = major_sign > 0 ? low - major0 : major0 - high;
    int64_t last = major_sign > 0 ? high - major0 : major0 - low;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, steps - 1);
    const LONG half = width / 2;
    for (int64_t i = first; i <= last; ++i) {
        const auto minor = static_cast<int64_t>((2 * static_cast<Wide>(i) * minor_run + steps) / (2 * static_cast<Wide>(steps)));
        const int64_t x = x_major ? x0 + sx * i : x0 + sx * minor;
        const int64_t y = x_major ? y0 + sy * minor : y0 + sy * i;
        if (x + width < 0 || y + width < 0 || x - width >= surface->sizlBitmap.cx || y - width >= surface->sizlBitmap.cy)
            continue;
        fill_rect(surface,
                  {static_cast<LONG>(x - half), static_cast<LONG>(y - half), static_cast<LONG>(x - half + width),
                   static_cast<LONG>(y - half + width)},
                  line.color);
    }
}

POINTL shifted(POINTL point, POINTL origin) {
    return {static_cast<LONG>(static_cast<int64_t>(point.x) - origin.x),
            static_cast<LONG>(static_cast<int64_t>(point.y) - origin.y)};
}

// Characters [first, last) of the text as the string object the driver or
// the engine draws.
void fill_string(EngString& string, const RealizedFont& font, const TextCommand& text, size_t first, size_t last,
                 POINTL origin) {
    string.text = text.text.substr(first, last - first);
    string.positions.resize(last - first);
    RECTL bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (size_t i = first; i < last; ++i) {
        GLYPHPOS& pos = string.positions[i - first];
        pos.hg = font.glyph_handle(text.text[i]);
        pos.ptl = shifted(text.origins[i], origin);
        bounds.left = std::min(bounds.left, pos.ptl.x);
        bounds.right = std::max(bounds.right, pos.ptl.x + font.advance(text.text[i]));
        bounds.top = std::min(bounds.top, pos.ptl.y - font.ascent);
        bounds.bottom = std::max(bounds.bottom, pos.ptl.y + font.descent);
    }
    string.so.cGlyphs = static_cast<ULONG>(string.positions.size());
    string.so.flAccel = text.default_placement ? (SO_FLAG_DEFAULT_PLACEMENT | SO_HORIZONTAL) : SO_HORIZONTAL;
    string.so.rclBkGround = bounds;
    string.so.pgp = string.positions.data();
    string.so.pwszOrg = string.text.data();
}

struct Brushes {
    CLIPOBJ clip{};
    BRUSHOBJ foreground{};
    BRUSHOBJ background{};
    POINTL brush_origin{0, 0};
};

bool engine_text_out(Device& device, EngString& string, RealizedFont& font, Brushes& b) {
    return EngTextOut(device.surface, &string.so, &font.fo, &b.clip, nullptr, nullptr, &b.foreground, &b.background,
                      &b.brush_origin, 0x0D0D) != FALSE;
}

// Device-font text: the runs of characters the printer's glyph set holds go
// to the driver, which sends them as character codes; each character it
// lacks is drawn here as pixels in its cell, so nothing prints as another
// character.
bool draw_device_text(Device& device, const TextCommand& text, POINTL origin, Brushes& b) {
    RealizedFont& font = *text.font;
    auto text_out = device.entry<PFN_DrvTextOut>(INDEX_DrvTextOut);
    const std::u16string& chars = text.text;
    bool ok = true;
    for (size_t first = 0; first < chars.size();) {
        const bool held = font.device_has(chars[first]);
        size_t last = first + 1;
        while (last < chars.size() && font.device_has(chars[last]) == held) ++last;
        if (held) {
            EngString string;
            fill_string(string, font, text, first, last, origin);
            if (text_out) {
                ok = text_out(device.surface, &string.so, &font.fo, &b.clip, nullptr, nullptr, &b.foreground,
                              &b.background, &b.brush_origin, 0x0D0D) != FALSE && ok;
            } else {
                ok = engine_text_out(device, string, font, b) && ok;
            }
        } else {
            for (size_t i = first; i < last; ++i) {
                char32_t ch = chars[i];
                if (ch >= 0xDC00 && ch < 0xE000) continue;  // drawn with its first half
                if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < last)
                    ch = 0x10000 + ((ch - 0xD800) << 10) + (char32_t(chars[i + 1]) - 0xDC00);
                const POINTL at = shifted(text.origins[i], origin);
                const RECTL cell{at.x, at.y - font.ascent, at.x + font.advance(chars[i]), at.y + font.descent};
                draw_in_cell(font.face.face, ch, cell, device.surface, text.color, b.clip.rclBounds);
            }
        }
        first = last;
    }
    return ok;
}

bool draw_text(Device& device, const TextCommand& text, POINTL origin) {
    Brushes b;
    b.clip.rclBounds = offset(text.clip, origin);
    b.clip.iDComplexity = DC_RECT;
    b.foreground.iSolidColor = text.color;
    b.background.iSolidColor = 0xFFFFFF;
    RealizedFont& font = *text.font;
    if (font.device_font) return draw_device_text(device, text, origin, b);
    EngString string;
    fill_string(string, font, text, 0, text.text.size(), origin);
    string.glyphs = text.glyphs;
    for (PlacedGlyph& glyph : string.glyphs) glyph.origin = shifted(glyph.origin, origin);
    return engine_text_out(device, string, font, b);
}

}  // namespace

void draw_image(const ImageCommand& image, SURFOBJ* surface, POINTL origin) {
    if (!image.bgr || image.width == 0 || image.height == 0 || image.src_width <= 0 || image.src_height <= 0)
        return;
    const int64_t abs_w = std::llabs(static_cast<int64_t>(image.width));
    const int64_t abs_h = std::llabs(static_cast<int64_t>(image.height));
    const int64_t left = std::min<int64_t>(image.x, static_cast<int64_t>(image.x) + image.width) - origin.x;
    const int64_t top = std::min<int64_t>(image.y, static_cast<int64_t>(image.y) + image.height) - origin.y;
    const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(left + abs_w, surface->sizlBitmap.cx);
    const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(top + abs_h, surface->sizlBitmap.cy);
    if (x0 >= x1 || y0 >= y1) return;
    const bool mirror_x = image.width < 0, mirror_y = image.height < 0;
    const int64_t src_w = image.src_width, src_h = image.src_height;
    const size_t src_stride = static_cast<size_t>(src_w) * 3;

    // Nearest source column for every destination column, sampled at pixel centres.
    std::vector<uint32_t> columns(static_cast<size_t>(x1 - x0));
    for (int64_t x = x0; x < x1; ++x) {
        int64_t sx = ((x - left) * 2 + 1) * src_w / (2 * abs_w);
        if (mirror_x) sx = src_w - 1 - sx;
        columns[static_cast<size_t>(x - x0)] = static_cast<uint32_t>(sx * 3);
    }
    const bool straight = !mirror_x && abs_w == src_w;
    auto* scan0 = static_cast<uint8_t*>(surface->pvScan0);
    const uint8_t* pixels = image.bgr->data();
    for (int64_t y = y0; y < y1; ++y) {
        int64_t sy = ((y - top) * 2 + 1) * src_h / (2 * abs_h);
        if (mirror_y) sy = src_h - 1 - sy;
        const uint8_t* src = pixels + static_cast<size_t>(sy) * src_stride;
        uint8_t* dst = scan0 + static_cast<ptrdiff_t>(y) * surface->lDelta + x0 * 3;
        if (straight) {
            std::memcpy(dst, src + columns[0], static_cast<size_t>(x1 - x0) * 3);
            continue;
        }
        for (uint32_t column : columns) {
            dst[0] = src[column];
            dst[1] = src[column + 1];
            dst[2] = src[column + 2];
            dst += 3;
        }
    }
}

bool play_page(Device& device, const Page& page, POINTL origin) {
    SURFOBJ* surface = device.surface;
    if (!surface || surface->iBitmapFormat != BMF_24BPP) return false;
    bool ok = true;
    for (const Command& command : page.commands) {
        if (const auto* fill = std::get_if<FillCommand>(&command)) {
            fill_rect(surface, offset(fill->rect, origin), fill->color);
        } else if (const auto* line = std::get_if<LineCommand>(&command)) {
            draw_line(surface, *line, origin);
        } else if (const auto* image = std::get_if<ImageCommand>(&command)) {
            draw_image(*image, surface, origin);
        } else if (const auto* text = std::get_if<TextCommand>(&command)) {
            if (!draw_text(device, *text, origin)) ok = false;
        }
    }
    return ok;
}

}  // namespace qor::gdi
