// Device contexts over a surface that is not a printer, such as a window
// of the desktop layer. The engine keeps the context's selected objects and
// text state as for any device context; the canvas draws and measures.
#pragma once

#include "qor/gdi.h"

#include <memory>
#include <string_view>

namespace qor::gdi {

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void fill(const RECT& rect, COLORREF color) = 0;
    // Text with its cell's top-left corner at `top_left`, clipped to `clip`
    // when given. An all-zero font means the surface's default font.
    virtual void draw_text(POINT top_left, std::u16string_view text, const LOGFONTW& font, COLORREF color,
                           const RECT* clip) = 0;
    virtual TEXTMETRICW metrics(const LOGFONTW& font) = 0;
    virtual SIZE extent(const LOGFONTW& font, std::u16string_view text) = 0;
    // GetDeviceCaps for the surface (LOGPIXELSY and the like); 0 when unknown.
    virtual int device_caps(int index) = 0;
};

// A device context drawing on `canvas`; DeleteDC releases it. Text and
// FillRect draw on it; lines, rectangles and images are refused, as are the
// printing calls (StartDoc, ResetDC, ExtEscape).
QORAPI HDC CreateCanvasDc(std::shared_ptr<Canvas> canvas);

}  // namespace qor::gdi
