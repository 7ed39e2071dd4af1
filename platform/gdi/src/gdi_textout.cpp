// Text services of the driver face: the string, font and transform objects
// and EngTextOut, which draws a string with the engine's own fonts.
#include "gdi_font.h"
#include "qor/guard.h"
#include "gdi_page.h"
#include "gdi_shaping.h"
#include "gdi_surface.h"
#include "gdi_textobj.h"

#include <algorithm>
#include <cmath>

namespace qor::gdi {

EngString* string_from(STROBJ* so) {
    auto* string = reinterpret_cast<EngString*>(so);
    return string && string->magic == EngString::kMagic ? string : nullptr;
}

}  // namespace qor::gdi

using namespace qor::gdi;

namespace {

RealizedFont* font_of_xform(XFORMOBJ* xo) {
    if (!xo) return nullptr;
    auto* font = reinterpret_cast<RealizedFont*>(reinterpret_cast<uint8_t*>(xo) - offsetof(RealizedFont, xo));
    return font->magic == RealizedFont::kMagic ? font : nullptr;
}

}  // namespace

extern "C" {

QORAPI void STROBJ_vEnumStart(STROBJ* so) {
    qor::guarded_void([&] {
        if (EngString* string = string_from(so)) string->enumerated = false;
    });
}

QORAPI BOOL STROBJ_bEnum(STROBJ* so, ULONG* count, PGLYPHPOS* positions) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        EngString* string = string_from(so);
        if (!string || !count || !positions) {
            if (count) *count = 0;
            return FALSE;
        }
        // The whole string is one batch.
        if (string->enumerated) {
            *count = 0;
            *positions = nullptr;
            return FALSE;
        }
        string->enumerated = true;
        *count = static_cast<ULONG>(string->positions.size());
        *positions = string->positions.data();
        return FALSE;
    });
}

QORAPI XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* fo) {
    return qor::guarded(static_cast<XFORMOBJ*>(nullptr), [&]() -> XFORMOBJ* {
        RealizedFont* font = realized_from(fo);
        return font ? &font->xo : nullptr;
    });
}

QORAPI IFIMETRICS* FONTOBJ_pifi(FONTOBJ* fo) {
    return qor::guarded(static_cast<IFIMETRICS*>(nullptr), [&]() -> IFIMETRICS* {
        RealizedFont* font = realized_from(fo);
        return font ? const_cast<IFIMETRICS*>(font->ifi) : nullptr;
    });
}

QORAPI ULONG XFORMOBJ_iGetXform(XFORMOBJ* xo, XFORML* out) {
    RealizedFont* font = font_of_xform(xo);
    if (!font) return DDI_ERROR_XFORM;
    const FLOATL* m = font->matrix;
    if (out) *out = {m[0], m[1], m[2], m[3], 0, 0};
    if (m[1] == 0 && m[2] == 0) return m[0] == 1 && m[3] == 1 ? GX_IDENTITY : GX_SCALE;
    return GX_GENERAL;
}

QORAPI BOOL XFORMOBJ_bApplyXform(XFORMOBJ* xo, ULONG mode, ULONG count, PVOID in, PVOID out) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        RealizedFont* font = font_of_xform(xo);
        if (!font || !in || !out || (mode != XF_LTOL && mode != XF_LTOFX)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const double m[4] = {static_cast<double>(font->matrix[0]), static_cast<double>(font->matrix[1]),
                             static_cast<double>(font->matrix[2]), static_cast<double>(font->matrix[3])};
        const auto* src = static_cast<const POINTL*>(in);
        auto* dst = static_cast<POINTL*>(out);  // POINTFIX has the same layout
        const double scale = mode == XF_LTOFX ? 16.0 : 1.0;
        for (ULONG i = 0; i < count; ++i) {
            double x = src[i].x, y = src[i].y;
            double mx = (m[0] * x + m[2] * y) * scale, my = (m[1] * x + m[3] * y) * scale;
            dst[i].x = static_cast<LONG>(std::clamp(std::lround(mx), -0x7FFFFFFFL, 0x7FFFFFFFL));
            dst[i].y = static_cast<LONG>(std::clamp(std::lround(my), -0x7FFFFFFFL, 0x7FFFFFFFL));
        }
        return TRUE;
    });
}

QORAPI BOOL EngTextOut(SURFOBJ* so, STROBJ* str, FONTOBJ* fo, CLIPOBJ* clip, RECTL*, RECTL* opaque,
                       BRUSHOBJ* foreground, BRUSHOBJ* background, POINTL*, MIX) {
    return qor::guarded(FALSE, [&]() -> BOOL {
        EngString* string = string_from(str);
        RealizedFont* font = realized_from(fo);
        if (!so || !string || !font || !so->pvScan0 || so->iBitmapFormat != BMF_24BPP) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        RECTL bounds{0, 0, so->sizlBitmap.cx, so->sizlBitmap.cy};
        if (clip && clip->iDComplexity != DC_TRIVIAL) {
            bounds.left = std::max(bounds.left, clip->rclBounds.left);
            bounds.top = std::max(bounds.top, clip->rclBounds.top);
            bounds.right = std::min(bounds.right, clip->rclBounds.right);
            bounds.bottom = std::min(bounds.bottom, clip->rclBounds.bottom);
        }
        if (opaque && background) {
            RECTL area{std::max(opaque->left, bounds.left), std::max(opaque->top, bounds.top),
                       std::min(opaque->right, bounds.right), std::min(opaque->bottom, bounds.bottom)};
            fill_rect(so, area, background->iSolidColor);
        }
        if (!font->face.face) return TRUE;  // nothing installed to draw with
        const ULONG color = foreground ? foreground->iSolidColor : 0;
        if (!string->glyphs.empty()) {
            draw_glyphs(string->glyphs, font->face.pixel_size, so, color, bounds);
            return TRUE;
        }
        // A string of characters (a driver handing device text back): one
        // glyph per character at its position.
        std::vector<POINTL> origins(string->positions.size());
        for (size_t i = 0; i < origins.size(); ++i) origins[i] = string->positions[i].ptl;
        std::u16string text = string->text;
        if (text.size() != origins.size()) {
            text.clear();
            for (const GLYPHPOS& pos : string->positions) text.push_back(static_cast<char16_t>(pos.hg));
        }
        draw_glyphs(glyphs_at(font->face, text.data(), origins.data(), origins.size()), font->face.pixel_size, so,
                    color, bounds);
        return TRUE;
    });
}

}  // extern "C"
