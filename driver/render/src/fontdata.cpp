// Glyph data and device metrics of the device fonts.
#include "entries.h"
#include "fontmetrics.h"

#include <cstring>

namespace {

POINTFIX map_fix(XFORMOBJ* xform, LONG x, LONG y) {
    POINTL in{x, y};
    POINTFIX out{0, 0};
    XFORMOBJ_bApplyXform(xform, XF_LTOFX, 1, &in, &out);
    return out;
}

POINTL map_long(XFORMOBJ* xform, LONG x, LONG y) {
    POINTL in{x, y};
    POINTL out{0, 0};
    XFORMOBJ_bApplyXform(xform, XF_LTOL, 1, &in, &out);
    return out;
}

POINTE unit_vector(XFORMOBJ* xform, LONG x, LONG y) {
    POINTL mapped = map_long(xform, x, y);
    LONG length = iHipot(mapped.x, mapped.y);
    if (length == 0) return {0.0f, 0.0f};
    return {static_cast<FLOATL>(mapped.x) / static_cast<FLOATL>(length),
            static_cast<FLOATL>(mapped.y) / static_cast<FLOATL>(length)};
}

FIX whole_pixels(FIX value) { return (value + 8) & ~15; }

void fill_glyph_data(const IFIMETRICS* ifi, XFORMOBJ* xform, HGLYPH glyph, GLYPHDATA* data) {
    LONG advance = (ifi->flInfo & FM_INFO_DBCS_FIXED_PITCH) ? ifi->fwdMaxCharInc : ifi->fwdAveCharWidth;
    if (glyph <= 255) advance /= 2;
    POINTFIX d = map_fix(xform, advance, 0);
    POINTFIX top = map_fix(xform, 0, ifi->rclFontBox.top);
    POINTFIX bottom = map_fix(xform, 0, ifi->rclFontBox.bottom);
    std::memset(data, 0, sizeof(*data));
    data->gdf.pgb = nullptr;
    data->hg = glyph;
    data->fxD = iHipot(d.x, d.y);
    data->fxA = 0;
    data->fxAB = data->fxD;
    data->fxInkTop = iHipot(top.x, top.y);
    data->fxInkBottom = iHipot(bottom.x, bottom.y);
    data->rclInk = {0, -(data->fxInkTop >> 4), data->fxD >> 4, data->fxInkBottom >> 4};
    // 28.4 to 32.32.
    data->ptqD.x = static_cast<LONGLONG>(d.x) * (1LL << 28);
    data->ptqD.y = static_cast<LONGLONG>(d.y) * (1LL << 28);
}

void fill_device_metrics(const IFIMETRICS* ifi, XFORMOBJ* xform, FD_DEVICEMETRICS* metrics) {
    std::memset(metrics, 0, sizeof(*metrics));
    metrics->flRealizedType = FDM_TYPE_BM_SIDE_CONST | FDM_TYPE_MAXEXT_EQUAL_BM_SIDE |
                              FDM_TYPE_CHAR_INC_EQUAL_BM_BASE | FDM_TYPE_ZERO_BEARINGS | FDM_TYPE_CONST_BEARINGS;
    metrics->pteBase = unit_vector(xform, 1000, 0);
    metrics->pteSide = unit_vector(xform, 0, -1000);
    POINTL inc = map_long(xform, ifi->fwdMaxCharInc, 0);
    metrics->lD = iHipot(inc.x, inc.y);
    POINTFIX top = map_fix(xform, 0, ifi->rclFontBox.top);
    POINTFIX bottom = map_fix(xform, 0, ifi->rclFontBox.bottom);
    metrics->fxMaxAscender = whole_pixels(iHipot(top.x, top.y));
    metrics->fxMaxDescender = whole_pixels(iHipot(bottom.x, bottom.y));
    metrics->ptlUnderline1 = map_long(xform, 0, -ifi->fwdUnderscorePosition);
    metrics->ptlStrikeOut = map_long(xform, 0, -ifi->fwdStrikeoutPosition);
    metrics->ptlULThickness = map_long(xform, 0, ifi->fwdUnderscoreSize);
    metrics->ptlSOThickness = map_long(xform, 0, ifi->fwdStrikeoutSize);
    metrics->cxMax = static_cast<ULONG>(metrics->lD);
    metrics->cyMax = static_cast<ULONG>((metrics->fxMaxAscender + metrics->fxMaxDescender) >> 4);
    metrics->cjGlyphMax = 0;  // no glyph bitmaps: the printer draws the characters
    XFORML matrix{};
    XFORMOBJ_iGetXform(xform, &matrix);
    metrics->fdxQuantized = {matrix.eM11, matrix.eM12, matrix.eM21, matrix.eM22};
    metrics->lNonLinearExtLeading = 0;
    metrics->lNonLinearIntLeading = 0;
    metrics->lNonLinearMaxCharWidth = metrics->lD;
    metrics->lNonLinearAvgCharWidth = metrics->lD;
}

}  // namespace

LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ* font, ULONG mode, HGLYPH glyph, GLYPHDATA* data, PVOID buffer,
                      ULONG size) {
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return -1;
    IFIMETRICS* ifi = font ? FontMetricsOf(pdev, font->iFace) : nullptr;
    if (!ifi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (mode != QFD_GLYPHANDBITMAP && mode != QFD_MAXEXTENTS) return -1;
    if (mode == QFD_MAXEXTENTS && !buffer) return sizeof(FD_DEVICEMETRICS);
    XFORMOBJ* xform = FONTOBJ_pxoGetXform(font);
    if (!xform) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (mode == QFD_GLYPHANDBITMAP) {
        if (data) fill_glyph_data(ifi, xform, glyph, data);
        return 0;
    }
    if (size < sizeof(FD_DEVICEMETRICS)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return -1;
    }
    fill_device_metrics(ifi, xform, static_cast<FD_DEVICEMETRICS*>(buffer));
    return sizeof(FD_DEVICEMETRICS);
}
