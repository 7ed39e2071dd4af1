#include "devcaps.h"

#include <cstring>

namespace {

// Halftone colour table of the thermal head (CIE x, y, Y in 1/10000).
const COLORINFO kColorInfo = {
    {6380, 3350, 0}, {2345, 6075, 0}, {1410, 932, 0}, {2000, 2450, 0},
    {5210, 2100, 0}, {4750, 5100, 0}, {3127, 3290, 0},
    12500, 12500, 12500,
    585, 120, 0, 0, 0, 10000,
};

void set_face(LOGFONTW& font, const char* name) {
    std::memset(font.lfFaceName, 0, sizeof(font.lfFaceName));
    for (size_t i = 0; name[i] && i + 1 < LF_FACESIZE; ++i) font.lfFaceName[i] = static_cast<WCHAR>(name[i]);
}

}  // namespace

ULONG PickDefaultHTPatSize(DWORD x_dpi, DWORD y_dpi, BOOL smaller) {
    DWORD d = x_dpi < y_dpi ? x_dpi : y_dpi;
    ULONG size;
    if (d >= 2400) size = 15;
    else if (d >= 1800) size = 13;
    else if (d >= 1200) size = 11;
    else if (d >= 900) size = 9;
    else if (d >= 400) size = 7;
    else if (d >= 180) size = 5;
    else size = 3;
    return smaller ? size - 2 : size;
}

void FillMyDevCaps(const PDEV* pdev, GDIINFO* caps) {
    const EXDEVMODE& dm = pdev->devmode;
    const PaperMetrix paper = *pdev->current_paper;
    const ULONG x = dm.ResolutionBlock.XResolution;
    const ULONG y = dm.ResolutionBlock.YResolution;
    const bool landscape = IsLandscape(pdev);
    std::memset(caps, 0, sizeof(*caps));
    caps->ulVersion = 0x400;
    caps->ulTechnology = 2;  // raster printer
    caps->ulHorzSize = static_cast<ULONG>(landscape ? paper.AreaLengthMM : paper.AreaWidthMM);
    caps->ulVertSize = static_cast<ULONG>(landscape ? paper.AreaWidthMM : paper.AreaLengthMM);
    caps->ulHorzRes = static_cast<ULONG>(landscape ? paper.AreaLength : paper.AreaWidth);
    caps->ulVertRes = static_cast<ULONG>(landscape ? paper.AreaWidth : paper.AreaLength);
    caps->szlPhysSize.cx = landscape ? paper.PhysLength : paper.PhysWidth;
    caps->szlPhysSize.cy = landscape ? paper.PhysWidth : paper.PhysLength;
    caps->ptlPhysOffset.x = landscape ? paper.OffsetY : paper.OffsetX;
    caps->ptlPhysOffset.y = landscape ? paper.OffsetYLandscape : paper.OffsetY;
    caps->cBitsPixel = 24;
    caps->cPlanes = 1;
    caps->ulNumColors = 8;
    caps->flRaster = 0;
    caps->ulLogPixelsX = x;
    caps->ulLogPixelsY = y;
    caps->flTextCaps = 0x1E1F;
    caps->ulDACRed = caps->ulDACGreen = caps->ulDACBlue = 0;
    caps->ulAspectX = x;
    caps->ulAspectY = x;
    caps->ulAspectXY = x * 1414 / 1000;
    caps->xStyleStep = 1;
    caps->yStyleStep = 1;
    caps->denStyleStep = static_cast<LONG>(x / 25);
    caps->ulNumPalReg = 0;
    caps->ciDevice = kColorInfo;
    caps->ulDevicePelsDPI = 0;
    caps->ulPrimaryOrder = 0;
    caps->ulHTOutputFormat = HT_FORMAT_1BPP;
    caps->flHTFlags = HT_FLAG_HAS_BLACK_DYE;
    ULONG pattern = PickDefaultHTPatSize(x, y, FALSE);
    caps->ulHTPatternSize = pattern > HT_PATSIZE_16x16_M ? HT_PATSIZE_6x6_M : pattern;
}

BOOL FillMyDevInfo(const PDEV* pdev, DEVINFO* info) {
    const LONG x = pdev->devmode.ResolutionBlock.XResolution;
    std::memset(info, 0, sizeof(*info));
    info->flGraphicsCaps = GCAPS_GEOMETRICWIDE | GCAPS_ALTERNATEFILL | GCAPS_WINDINGFILL | GCAPS_HALFTONE |
                           GCAPS_OPAQUERECT;
    LOGFONTW& font = info->lfDefaultFont;
    font.lfHeight = -(x * 11 + 36) / 72;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = pdev->charset;
    font.lfPitchAndFamily = FF_MODERN | FIXED_PITCH;
    info->lfAnsiVarFont = font;
    set_face(info->lfAnsiVarFont, "Helv");
    info->lfAnsiVarFont.lfPitchAndFamily = FF_SWISS | VARIABLE_PITCH;
    info->lfAnsiVarFont.lfCharSet = ANSI_CHARSET;
    info->lfAnsiFixFont = font;
    set_face(info->lfAnsiFixFont, "Courier");
    info->lfAnsiFixFont.lfCharSet = ANSI_CHARSET;
    info->cFonts = pdev->device_font_count;
    info->iDitherFormat = BMF_24BPP;
    info->cxDither = 0;
    info->cyDither = 0;
    info->flGraphicsCaps2 = 0;
    info->hpalDefault = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    return info->hpalDefault != nullptr;
}
