// Text of the application face: text state, metrics and recording strings.
#include "gdi_canvas_dc.h"
#include "gdi_dc.h"
#include "qor/guard.h"
#include "gdi_shaping.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace qor::gdi {
namespace {

constexpr RECTL kWholePage{INT_MIN / 4, INT_MIN / 4, INT_MAX / 4, INT_MAX / 4};
constexpr UINT kMaxChars = 1 << 16;

LONG clamp_coordinate(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT_MIN / 4, INT_MAX / 4)); }

// Device fonts advance by the printer's cells; system fonts are shaped.
LONG text_width(const RealizedFont& font, LPCWSTR text, UINT count, const INT* dx) {
    int64_t width = 0;
    if (dx) {
        for (UINT i = 0; i < count; ++i) width += dx[i];
    } else if (font.device_font) {
        for (UINT i = 0; i < count; ++i) width += font.advance(text[i]);
    } else {
        width = shape_text(font.face, text, count).width;
    }
    return clamp_coordinate(width);
}

// The DC's font, or null with ERROR_FILE_NOT_FOUND when no font file exists.
std::shared_ptr<RealizedFont> font_or_error(Dc& dc) {
    auto font = current_font(dc);
    if (!font) SetLastError(ERROR_FILE_NOT_FOUND);
    return font;
}

bool record_text(Dc& dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    if (!dc.page_open || (count && !text) || count > kMaxChars || (options & ETO_GLYPH_INDEX)) {
        SetLastError(options & ETO_GLYPH_INDEX ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return false;
    }
    if ((options & ETO_OPAQUE) && rect) {
        dc.page.commands.push_back(FillCommand{{rect->left, rect->top, rect->right, rect->bottom},
                                               pixel_from_colorref(dc.bk_color)});
    }
    if (count == 0) return true;
    auto font = font_or_error(dc);
    if (!font) return false;
    const bool shaped_here = !font->device_font && !dx;
    ShapedText shaped = shaped_here ? shape_text(font->face, text, count) : ShapedText{};
    const LONG width = shaped_here ? shaped.width : text_width(*font, text, count, dx);
    int64_t left = x, baseline = y;
    if ((dc.text_align & TA_CENTER) == TA_CENTER) left -= width / 2;
    else if (dc.text_align & TA_RIGHT) left -= width;
    if ((dc.text_align & TA_BASELINE) == TA_BASELINE) {
    } else if (dc.text_align & TA_BOTTOM) {
        baseline -= font->descent;
    } else {
        baseline += font->ascent;
    }
    TextCommand command;
    command.font = font;
    command.text.assign(text, count);
    command.origins.resize(count);
    int64_t pen = left;
    for (UINT i = 0; i < count; ++i) {
        command.origins[i] = {clamp_coordinate(pen), clamp_coordinate(baseline)};
        pen += dx ? dx[i] : font->advance(text[i]);
    }
    if (!font->device_font) {
        if (dx) {
            command.glyphs = glyphs_at(font->face, text, command.origins.data(), count);
        } else {
            command.glyphs = std::move(shaped.glyphs);
            for (PlacedGlyph& glyph : command.glyphs)
                glyph.origin = {clamp_coordinate(left + glyph.origin.x), clamp_coordinate(baseline + glyph.origin.y)};
        }
    }
    command.color = pixel_from_colorref(dc.text_color);
    command.clip = (options & ETO_CLIPPED) && rect ? RECTL{rect->left, rect->top, rect->right, rect->bottom}
                                                   : kWholePage;
    command.default_placement = dx == nullptr;
    if (dc.bk_mode == OPAQUE && !font->device_font) {
        LONG top = command.origins[0].y - font->ascent;
        dc.page.commands.push_back(FillCommand{{command.origins[0].x, top, command.origins[0].x + width,
                                                command.origins[0].y + font->descent},
                                               pixel_from_colorref(dc.bk_color)});
    }
    dc.page.commands.push_back(std::move(command));
    return true;
}

}  // namespace
}  // namespace qor::gdi

using namespace qor::gdi;

extern "C" {

QORAPI COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return qor::guarded(COLORREF(CLR_INVALID), [&]() -> COLORREF {
        return with_dc(hdc, CLR_INVALID, [&](Dc& dc) { return std::exchange(dc.text_color, color & 0xFFFFFF); });
    });
}

QORAPI COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return qor::guarded(COLORREF(CLR_INVALID), [&]() -> COLORREF {
        return with_dc(hdc, CLR_INVALID, [&](Dc& dc) { return std::exchange(dc.bk_color, color & 0xFFFFFF); });
    });
}

QORAPI int SetBkMode(HDC hdc, int mode) {
    return qor::guarded(0, [&]() -> int {
        return with_dc(hdc, 0, [&](Dc& dc) {
            if (mode != OPAQUE && mode != TRANSPARENT) return refuse(0);
            return std::exchange(dc.bk_mode, mode);
        });
    });
}

QORAPI UINT SetTextAlign(HDC hdc, UINT align) {
    return qor::guarded(UINT(GDI_ERROR), [&]() -> UINT {
        return with_dc(hdc, static_cast<UINT>(GDI_ERROR),
                       [&](Dc& dc) { return std::exchange(dc.text_align, align & (TA_CENTER | TA_BASELINE)); });
    });
}

QORAPI BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE, [&](Dc& dc) {
            if (!metrics) return refuse(FALSE);
            if (dc.canvas) {
                *metrics = dc.canvas->metrics(canvas_font(dc));
                return TRUE;
            }
            auto font = font_or_error(dc);
            if (!font) return FALSE;
            *metrics = TEXTMETRICW{};
            metrics->tmAscent = font->ascent;
            metrics->tmDescent = font->descent;
            metrics->tmHeight = font->ascent + font->descent;
            metrics->tmAveCharWidth = font->average_width;
            metrics->tmMaxCharWidth = font->max_width;
            metrics->tmWeight = FW_NORMAL;
            metrics->tmDigitizedAspectX = static_cast<LONG>(dc.device->caps.ulLogPixelsX);
            metrics->tmDigitizedAspectY = static_cast<LONG>(dc.device->caps.ulLogPixelsY);
            metrics->tmFirstChar = 0x20;
            metrics->tmLastChar = 0xFFFF;
            metrics->tmDefaultChar = u'?';
            metrics->tmBreakChar = 0x20;
            if (font->ifi) {
                metrics->tmWeight = font->ifi->usWinWeight;
                metrics->tmPitchAndFamily = font->ifi->jWinPitchAndFamily;
                metrics->tmCharSet = font->ifi->jWinCharSet;
            }
            return TRUE;
        });
    });
}

QORAPI BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE, [&](Dc& dc) {
            if (!size || count < 0 || (count && !text)) return refuse(FALSE);
            if (dc.canvas) {
                *size = dc.canvas->extent(canvas_font(dc), std::u16string_view(text, static_cast<size_t>(count)));
                return TRUE;
            }
            auto font = font_or_error(dc);
            if (!font) return FALSE;
            size->cx = text_width(*font, text, static_cast<UINT>(count), nullptr);
            size->cy = font->ascent + font->descent;
            return TRUE;
        });
    });
}

QORAPI BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                        const INT* dx) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE,
                       [&](Dc& dc) {
                           bool drawn = dc.canvas ? canvas_text(dc, x, y, options, rect, text, count, dx)
                                                  : record_text(dc, x, y, options, rect, text, count, dx);
                           return drawn ? TRUE : FALSE;
                       });
    });
}

QORAPI BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (count < 0) return refuse(FALSE);
        return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
    });
}

}  // extern "C"
