#include "page_settings.h"

#include <cmath>

namespace qorcups {
namespace {

bool ReadSlot(const cups_page_header2_t& header, HeaderSlot slot, int low, int high, const char* option,
              std::optional<int>* value, std::string* error) {
    const unsigned raw = header.cupsInteger[slot];
    if (raw == 0) return true;
    const long long v = static_cast<long long>(raw) - 1;
    if (v < low || v > high) {
        *error = std::string("option ") + option + " has the value " + std::to_string(v) + ", outside " +
                 std::to_string(low) + ".." + std::to_string(high);
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

const PaperMetrix* PaperByCode(const PpdData& ppd, int code) {
    for (WORD i = 0; i < ppd.NumPaper; ++i)
        if (ppd.pPaper[i].Code == code) return &ppd.pPaper[i];
    return nullptr;
}

// The description paper whose size in points is the page's, within a
// millimetre (76.2 and 82.55 mm papers are written 76 and 83 mm).
const PaperMetrix* PaperBySize(const PpdData& ppd, const cups_page_header2_t& header) {
    const double width_mm = header.PageSize[0] * 25.4 / 72.0, length_mm = header.PageSize[1] * 25.4 / 72.0;
    for (WORD i = 0; i < ppd.NumPaper; ++i) {
        const PaperMetrix& paper = ppd.pPaper[i];
        const LONG w = paper.PaperWidth, l = paper.PaperLength;
        if (std::fabs(width_mm - w) <= 1.0 && std::fabs(length_mm - l) <= 1.0) return &paper;
    }
    return nullptr;
}

}  // namespace

bool ReadPageSettings(const cups_page_header2_t& header, const PpdData& ppd, PageSettings* settings,
                      std::string* error) {
    *settings = {};
    const int bright_low = ppd.MAXBright ? ppd.MINBright : 0, bright_high = ppd.MAXBright ? ppd.MAXBright : 255;
    const int density_high = ppd.MAXDensity ? ppd.MAXDensity : 6;
    return ReadSlot(header, kSlotPaper, 1, 0xFFFF, "PageSize", &settings->paper, error) &&
           ReadSlot(header, kSlotDither, 1, 5, "QorDither", &settings->dither, error) &&
           ReadSlot(header, kSlotBright, bright_low, bright_high, "QorBrightness", &settings->bright, error) &&
           ReadSlot(header, kSlotDensity, ppd.MINDensity, density_high, "QorDensity", &settings->density, error) &&
           ReadSlot(header, kSlotQuality, 0, 1, "QorQuality", &settings->quality, error) &&
           ReadSlot(header, kSlotCut, 0, 2, "QorCut", &settings->cut, error) &&
           ReadSlot(header, kSlotMode, 0, 1, "QorPageMode", &settings->mode, error) &&
           ReadSlot(header, kSlotKind, 0, 255, "QorMediaKind", &settings->kind, error);
}

bool ApplyPageSettings(const PageSettings& settings, const cups_page_header2_t& header, const PpdData& ppd,
                       EXDEVMODE* devmode, std::string* error) {
    const PaperMetrix* paper = settings.paper ? PaperByCode(ppd, *settings.paper) : PaperBySize(ppd, header);
    if (settings.paper && !paper) {
        *error = "the printer has no paper " + std::to_string(*settings.paper);
        return false;
    }
    if (paper) {
        devmode->CurrentPaper = *paper;
        devmode->PaperCode = paper->Code;
        devmode->dm.dmPaperSize = static_cast<SHORT>(paper->Code);
        devmode->dm.dmFields |= DM_PAPERSIZE;
    }
    if (settings.dither) devmode->dm.dmDitherType = static_cast<DWORD>(*settings.dither);
    if (settings.bright) devmode->Bright = static_cast<BYTE>(*settings.bright);
    if (settings.density) devmode->Density = static_cast<BYTE>(*settings.density);
    if (settings.quality) devmode->Quality = static_cast<BYTE>(*settings.quality);
    if (settings.cut) devmode->Cut = static_cast<BYTE>(*settings.cut);
    if (settings.mode) devmode->Mode = static_cast<BYTE>(*settings.mode);
    if (settings.kind) devmode->Kind = static_cast<BYTE>(*settings.kind);
    // Raster pages arrive upright as CUPS laid them out.
    devmode->dm.dmOrientation = DMORIENT_PORTRAIT;
    return true;
}

}  // namespace qorcups
