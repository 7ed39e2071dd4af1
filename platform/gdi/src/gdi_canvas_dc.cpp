// Device contexts over a canvas: the text and fill calls of the
// application face, routed to the canvas instead of a recorded page.
#include "gdi_canvas_dc.h"

#include "qor/guard.h"

#include <algorithm>
#include <climits>

namespace qor::gdi {

namespace {
constexpr UINT kMaxChars = 1 << 16;
}

LOGFONTW canvas_font(const Dc& dc) {
    auto font = lookup<Font>(dc.font);
    return font ? font->logfont : LOGFONTW{};
}

bool canvas_text(Dc& dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
    if ((count && !text) || count > kMaxChars || (options & ETO_GLYPH_INDEX)) {
        SetLastError(options & ETO_GLYPH_INDEX ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return false;
    }
    (void)dx;  // the canvas places its own glyphs
    Canvas& canvas = *dc.canvas;
    if ((options & ETO_OPAQUE) && rect) canvas.fill(*rect, dc.bk_color);
    if (count == 0) return true;
    const LOGFONTW font = canvas_font(dc);
    const std::u16string_view chars(text, count);
    const TEXTMETRICW metrics = canvas.metrics(font);
    const SIZE size = canvas.extent(font, chars);
    int64_t left = x, top = y;
    if ((dc.text_align & TA_CENTER) == TA_CENTER) left -= size.cx / 2;
    else if (dc.text_align & TA_RIGHT) left -= size.cx;
    if ((dc.text_align & TA_BASELINE) == TA_BASELINE) top -= metrics.tmAscent;
    else if (dc.text_align & TA_BOTTOM) top -= metrics.tmHeight;
    const POINT at{static_cast<LONG>(std::clamp<int64_t>(left, INT_MIN / 4, INT_MAX / 4)),
                   static_cast<LONG>(std::clamp<int64_t>(top, INT_MIN / 4, INT_MAX / 4))};
    if (dc.bk_mode == OPAQUE) canvas.fill(RECT{at.x, at.y, at.x + size.cx, at.y + metrics.tmHeight}, dc.bk_color);
    canvas.draw_text(at, chars, font, dc.text_color, (options & ETO_CLIPPED) ? rect : nullptr);
    return true;
}

}  // namespace qor::gdi

QORAPI HDC qor::gdi::CreateCanvasDc(std::shared_ptr<Canvas> canvas) {
    return qor::guarded(HDC{nullptr}, [&]() -> HDC {
        if (!canvas) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto dc = std::make_shared<Dc>();
        dc->canvas = std::move(canvas);
        dc->font = GetStockObject(SYSTEM_FONT);
        dc->brush = GetStockObject(WHITE_BRUSH);
        dc->pen = GetStockObject(BLACK_PEN);
        return insert_object(dc);
    });
}
