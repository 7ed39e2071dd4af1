// Realising logical fonts on a device.
#include "gdi_font.h"

#include "qor/support/utf.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qor::gdi {
namespace {

std::u16string face_name_of(const LOGFONTW& logfont) {
    size_t n = 0;
    while (n < LF_FACESIZE && logfont.lfFaceName[n]) ++n;
    return std::u16string(logfont.lfFaceName, n);
}

// A name inside a driver's IFIMETRICS block, read only within the block.
std::u16string ifi_name(const IFIMETRICS* ifi, PTRDIFF offset) {
    if (!ifi || offset < static_cast<PTRDIFF>(sizeof(IFIMETRICS)) || ifi->cjThis > 65536 ||
        static_cast<ULONG>(offset) >= ifi->cjThis)
        return {};
    const auto* base = reinterpret_cast<const uint8_t*>(ifi);
    size_t chars = (ifi->cjThis - static_cast<ULONG>(offset)) / 2;
    std::u16string name;
    for (size_t i = 0; i < chars; ++i) {
        char16_t ch;
        std::memcpy(&ch, base + offset + i * 2, 2);
        if (!ch) break;
        name.push_back(ch);
    }
    return name;
}

ULONG device_font_count(const Device& device) {
    return device.entry<PFN_DrvQueryFont>(INDEX_DrvQueryFont) ? device.info.cFonts : 0;
}

const IFIMETRICS* query_device_font(Device& device, ULONG face) {
    ULONG_PTR id = 0;
    return device.entry<PFN_DrvQueryFont>(INDEX_DrvQueryFont)(device.dhpdev, 0, face, &id);
}

bool same_name(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'a' && a[i] <= u'z' ? a[i] - 32 : a[i];
        char16_t y = b[i] >= u'a' && b[i] <= u'z' ? b[i] - 32 : b[i];
        if (x != y) return false;
    }
    return true;
}

std::shared_ptr<RealizedFont> realize_device_font(Device& device, const LOGFONTW& logfont) {
    std::u16string wanted = face_name_of(logfont);
    if (wanted.empty()) return nullptr;
    ULONG count = device_font_count(device);
    ULONG best = 0;
    LONG best_distance = 0;
    const IFIMETRICS* best_ifi = nullptr;
    LONG height = logfont.lfHeight < 0 ? -logfont.lfHeight : logfont.lfHeight;
    for (ULONG face = 1; face <= count && face <= 64; ++face) {
        const IFIMETRICS* ifi = query_device_font(device, face);
        if (!ifi || !same_name(ifi_name(ifi, ifi->dpwszFaceName), wanted)) continue;
        LONG distance = height ? std::labs(ifi->fwdUnitsPerEm - height) : static_cast<LONG>(face);
        if (!best_ifi || distance < best_distance) best = face, best_distance = distance, best_ifi = ifi;
    }
    if (!best_ifi) return nullptr;
    auto font = std::make_shared<RealizedFont>();
    font->device_font = true;
    font->ifi = best_ifi;
    font->face_name = wanted;
    font->fo.iFace = best;
    font->fo.flFontType = FO_TYPE_DEVICE;
    font->fo.cxMax = static_cast<ULONG>(best_ifi->fwdMaxCharInc);
    font->fo.sizLogResPpi = {static_cast<LONG>(device.caps.ulLogPixelsX), static_cast<LONG>(device.caps.ulLogPixelsY)};
    font->ascent = best_ifi->fwdWinAscender;
    font->descent = best_ifi->fwdWinDescender;
    font->average_width = best_ifi->fwdAveCharWidth;
    font->max_width = best_ifi->fwdMaxCharInc;
    if (auto tree = device.entry<PFN_DrvQueryFontTree>(INDEX_DrvQueryFontTree)) {
        ULONG_PTR id = 0;
        font->glyph_set = static_cast<const FD_GLYPHSET*>(tree(device.dhpdev, 0, best, QFT_GLYPHSET, &id));
    }
    // The band preview of device text uses a fixed-pitch system face at the cell height.
    font->face.face = fixed_pitch_face();
    font->face.pixel_size = best_ifi->fwdUnitsPerEm > 0 ? best_ifi->fwdUnitsPerEm : 24;
    return font;
}

}  // namespace

LONG RealizedFont::advance(char16_t ch) const {
    if (!device_font) return 0;  // system fonts are measured shaped, as whole strings
    if (ch >= 0xDC00 && ch < 0xE000) return 0;  // the second half of a pair
    const HGLYPH handle = glyph_handle(ch);
    if (handle != HGLYPH_INVALID) return handle > 0xFF ? max_width : average_width;
    if (ch >= 0xD800 && ch < 0xDC00) return max_width;  // beyond the first plane: ideographs and symbols
    const int width = u_getIntPropertyValue(ch, UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? max_width : average_width;
}

HGLYPH RealizedFont::glyph_handle(char16_t ch) const {
    if (!glyph_set) return ch;
    // Runs ascend by their first character: the last run starting at or
    // before `ch` is the only one that can hold it.
    const WCRUN* runs = glyph_set->awcrun;
    const WCRUN* after = std::upper_bound(runs, runs + glyph_set->cRuns, ch,
                                          [](char16_t c, const WCRUN& run) { return c < run.wcLow; });
    if (after == runs) return HGLYPH_INVALID;
    const WCRUN& run = after[-1];
    if (ch >= run.wcLow + run.cGlyphs) return HGLYPH_INVALID;
    return run.phg ? run.phg[ch - run.wcLow] : static_cast<HGLYPH>(ch - run.wcLow);
}

RealizedFont* realized_from(FONTOBJ* fo) {
    auto* font = reinterpret_cast<RealizedFont*>(fo);
    return font && font->magic == RealizedFont::kMagic ? font : nullptr;
}

std::shared_ptr<RealizedFont> realize_font(Device& device, const LOGFONTW& logfont) {
    if (auto font = realize_device_font(device, logfont)) return font;
    auto face = find_face(logfont);
    if (!face) return nullptr;
    auto font = std::make_shared<RealizedFont>();
    font->face.face = face;
    font->face.pixel_size = pixel_size_for(*face, logfont.lfHeight);
    font->face_name = family_of(*face);
    FaceMetrics metrics = face_metrics(font->face);
    font->ascent = metrics.ascent;
    font->descent = metrics.descent;
    font->average_width = metrics.average_width;
    font->max_width = metrics.max_width;
    font->fo.flFontType = FO_TYPE_TRUETYPE;
    font->fo.cxMax = static_cast<ULONG>(metrics.max_width);
    font->fo.sizLogResPpi = {static_cast<LONG>(device.caps.ulLogPixelsX), static_cast<LONG>(device.caps.ulLogPixelsY)};
    return font;
}

std::vector<DeviceFontInfo> device_fonts(Device& device) {
    std::vector<DeviceFontInfo> fonts;
    ULONG count = device_font_count(device);
    for (ULONG face = 1; face <= count && face <= 64; ++face) {
        const IFIMETRICS* ifi = query_device_font(device, face);
        if (!ifi) continue;
        DeviceFontInfo info{};
        std::u16string name = ifi_name(ifi, ifi->dpwszFaceName);
        size_t n = std::min<size_t>(name.size(), LF_FACESIZE - 1);
        std::memcpy(info.logfont.lfFaceName, name.data(), n * 2);
        info.logfont.lfHeight = ifi->fwdUnitsPerEm;
        info.logfont.lfWidth = ifi->fwdAveCharWidth;
        info.logfont.lfWeight = ifi->usWinWeight;
        info.logfont.lfCharSet = ifi->jWinCharSet;
        info.logfont.lfPitchAndFamily = ifi->jWinPitchAndFamily;
        info.metrics.tmHeight = ifi->fwdWinAscender + ifi->fwdWinDescender;
        info.metrics.tmAscent = ifi->fwdWinAscender;
        info.metrics.tmDescent = ifi->fwdWinDescender;
        info.metrics.tmAveCharWidth = ifi->fwdAveCharWidth;
        info.metrics.tmMaxCharWidth = ifi->fwdMaxCharInc;
        info.metrics.tmWeight = ifi->usWinWeight;
        info.metrics.tmDigitizedAspectX = ifi->ptlAspect.x;
        info.metrics.tmDigitizedAspectY = ifi->ptlAspect.y;
        info.metrics.tmFirstChar = ifi->wcFirstChar;
        info.metrics.tmLastChar = ifi->wcLastChar;
        info.metrics.tmDefaultChar = ifi->wcDefaultChar;
        info.metrics.tmBreakChar = ifi->wcBreakChar;
        info.metrics.tmPitchAndFamily = ifi->jWinPitchAndFamily;
        info.metrics.tmCharSet = ifi->jWinCharSet;
        fonts.push_back(info);
    }
    return fonts;
}

LOGFONTW default_logfont(const Device& device) { return device.info.lfDefaultFont; }

}  // namespace qor::gdi
