#include "fontmetrics.h"

#include "entries.h"
#include "glyphset.h"
#include "qor/memory.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr LONG kCellHeights[2] = {24, 16};
static_assert(sizeof(IFIMETRICS) + 4 * FONT_NAME_SLOT_CHARS * sizeof(WCHAR) == FONT_METRICS_SIZE);

void fill_metrics(BYTE* block, LONG height, BYTE charset) {
    std::memset(block, 0, FONT_METRICS_SIZE);
    IFIMETRICS ifi{};
    const bool dbcs = IsDoubleByteCharset(charset);
    const FWORD h = static_cast<FWORD>(height);
    ifi.cjThis = FONT_METRICS_SIZE;
    ifi.dpwszFamilyName = sizeof(IFIMETRICS);
    ifi.dpwszStyleName = ifi.dpwszFamilyName + FONT_NAME_SLOT_CHARS * 2;
    ifi.dpwszFaceName = ifi.dpwszStyleName + FONT_NAME_SLOT_CHARS * 2;
    ifi.dpwszUniqueName = ifi.dpwszFaceName + FONT_NAME_SLOT_CHARS * 2;
    ifi.jWinCharSet = charset;
    ifi.jWinPitchAndFamily = FF_MODERN | FIXED_PITCH;
    ifi.usWinWeight = FW_NORMAL;
    ifi.flInfo = dbcs ? 0x10482822u : 0x00483822u;
    ifi.fwdUnitsPerEm = h;
    ifi.fwdLowestPPEm = 1;
    ifi.fwdWinAscender = h;
    ifi.fwdMacAscender = h;
    ifi.fwdTypoAscender = h;
    ifi.fwdAveCharWidth = static_cast<FWORD>(height / 2);
    ifi.fwdMaxCharInc = h;
    ifi.chFirstChar = 0x20;
    ifi.chLastChar = 0xFF;
    ifi.chDefaultChar = 0x2E;
    ifi.chBreakChar = 0x20;
    ifi.wcFirstChar = dbcs ? 0x0000 : 0x0020;
    ifi.wcLastChar = dbcs ? 0xFFFF : 0x2122;
    ifi.wcDefaultChar = 0x2022;
    ifi.wcBreakChar = 0x20;
    ifi.ptlBaseline = {1, 0};
    ifi.ptlAspect = {203, 203};
    ifi.ptlCaret = dbcs ? POINTL{0, 0} : POINTL{0, 1};
    ifi.rclFontBox = {0, height, height, 0};
    std::memcpy(ifi.achVendId, "    ", 4);
    std::memcpy(block, &ifi, sizeof(ifi));
    const char16_t name[] = DEVICE_FONT_NAME;
    for (PTRDIFF offset : {ifi.dpwszFamilyName, ifi.dpwszStyleName, ifi.dpwszFaceName, ifi.dpwszUniqueName})
        std::memcpy(block + offset, name, sizeof(name));
}

}  // namespace

LONG DeviceCellHeight(const PDEV* pdev) { return pdev->devmode.Font == 1 ? 24 : 16; }

BOOL BuildFontMetrics(PDEV* pdev) {
    pdev->font_metrics = static_cast<BYTE*>(
        HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(pdev->device_font_count) * FONT_METRICS_SIZE));
    if (!pdev->font_metrics) return FALSE;
    for (BYTE i = 0; i < pdev->device_font_count && i < 2; ++i)
        fill_metrics(pdev->font_metrics + i * FONT_METRICS_SIZE, kCellHeights[i], pdev->charset);
    return TRUE;
}

IFIMETRICS* FontMetricsOf(PDEV* pdev, ULONG face) {
    if (!pdev->device_fonts_on || !pdev->font_metrics || face < 1 || face > pdev->device_font_count) return nullptr;
    return reinterpret_cast<IFIMETRICS*>(pdev->font_metrics + (face - 1) * FONT_METRICS_SIZE);
}

LONG iHipot(LONG x, LONG y) {
    int64_t ax = x < 0 ? -static_cast<int64_t>(x) : x;
    int64_t ay = y < 0 ? -static_cast<int64_t>(y) : y;
    if (ax == 0) return static_cast<LONG>(ay > INT32_MAX ? INT32_MAX : ay);
    if (ay == 0) return static_cast<LONG>(ax > INT32_MAX ? INT32_MAX : ax);
    int64_t r = ax > ay ? ax : ay;
    int64_t s = ax > ay ? ay : ax;
    s *= s;
    for (int64_t sum = 0; sum < s; ++r) sum += 4 * r;
    return static_cast<LONG>(r > INT32_MAX ? INT32_MAX : r);
}

PIFIMETRICS DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG face, ULONG_PTR* id) {
    if (id) *id = 0;
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return nullptr;
    IFIMETRICS* metrics = FontMetricsOf(pdev, face);
    if (!metrics) SetLastError(ERROR_INVALID_PARAMETER);
    return metrics;
}

PVOID DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG face, ULONG mode, ULONG_PTR* id) {
    if (id) *id = 0;
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return nullptr;
    IFIMETRICS* metrics = FontMetricsOf(pdev, face);
    if (!metrics) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (mode) {
    case QFT_KERNPAIRS:
        // No pairs is an answer, not a failure: the caller tells the two
        // apart by the last error.
        SetLastError(NO_ERROR);
        return nullptr;
    case QFT_GLYPHSET: return CreateGlyphSet(pdev, IsDoubleByteCharset(metrics->jWinCharSet));
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

ULONG DrvGetGlyphMode(DHPDEV, FONTOBJ*) { return FO_GLYPHBITS; }
