// QORGDITEST: see gditest_driver.h. The engine owns the band bits; the
// driver clears the band to white before each band and copies it into the
// page image when the engine moves on.
#include "gditest_driver.h"

#include "qor/support/utf.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr BYTE kUncovered = 0x7F;

struct PageImage {
    LONG width = 0, height = 0;
    std::vector<BYTE> bytes;
};

struct Recorder {
    std::mutex lock;
    std::string log, snapshot;
    std::vector<PageImage> pages;
};

Recorder& recorder() {
    static Recorder instance;
    return instance;
}

void log_line(const std::string& line) {
    Recorder& r = recorder();
    std::lock_guard guard(r.lock);
    r.log += line + "\n";
}

struct Pdev {
    GDITEST_SETTINGS settings{};
    HDEV hdev = nullptr;
    HSURF surface = nullptr;
    LONG band_rows = 0;
    LONG band_y = 0;
    PageImage page;
};

GDITEST_SETTINGS settings_of(const DEVMODEW* devmode) {
    GDITEST_SETTINGS settings{GDITEST_MAGIC, 64, 48, 16, 0, 0};
    if (devmode && devmode->dmDriverExtra >= sizeof(GDITEST_SETTINGS)) {
        GDITEST_SETTINGS given;
        std::memcpy(&given, reinterpret_cast<const BYTE*>(devmode) + devmode->dmSize, sizeof(given));
        if (given.magic == GDITEST_MAGIC && given.width > 0 && given.height > 0 && given.width <= 4096 &&
            given.height <= 4096)
            settings = given;
    }
    settings.fonts = std::min<DWORD>(settings.fonts, 2);
    return settings;
}

Pdev* pdev_of(SURFOBJ* surface) { return surface ? static_cast<Pdev*>(surface->dhpdev) : nullptr; }

// ------------------------------------------------------------ device fonts

struct FontBlock {
    IFIMETRICS ifi;
    WCHAR name[12];
};
static_assert(offsetof(FontBlock, name) == sizeof(IFIMETRICS));

struct GlyphSetBlock {
    FD_GLYPHSET set;
    HGLYPH handles[0x5F];
};

FontBlock make_font(FWORD em, FWORD ascent, FWORD cell) {
    FontBlock block{};
    IFIMETRICS& ifi = block.ifi;
    ifi.cjThis = sizeof(FontBlock);
    ifi.dpwszFamilyName = ifi.dpwszFaceName = sizeof(IFIMETRICS);
    ifi.jWinCharSet = ANSI_CHARSET;
    ifi.jWinPitchAndFamily = FIXED_PITCH | FF_MODERN;
    ifi.usWinWeight = FW_NORMAL;
    ifi.fwdUnitsPerEm = em;
    ifi.fwdWinAscender = ascent;
    ifi.fwdWinDescender = static_cast<FWORD>(em - ascent);
    ifi.fwdAveCharWidth = cell;
    ifi.fwdMaxCharInc = static_cast<FWORD>(cell * 2);
    ifi.wcFirstChar = 0x20;
    ifi.wcLastChar = 0x7E;
    const char16_t name[] = u"Test Device";
    std::memcpy(block.name, name, sizeof(name));
    return block;
}

const FontBlock kFonts[2] = {make_font(24, 20, 12), make_font(16, 13, 8)};

const FD_GLYPHSET* glyph_set() {
    static GlyphSetBlock block = [] {
        GlyphSetBlock b{};
        b.set.cjThis = sizeof(FD_GLYPHSET);
        b.set.cGlyphsSupported = 0x5F;
        b.set.cRuns = 1;
        b.set.awcrun[0] = {0x20, 0x5F, b.handles};
        for (HGLYPH i = 0; i < 0x5F; ++i) b.handles[i] = GDITEST_GLYPH_BASE + i;
        return b;
    }();
    block.set.awcrun[0].phg = block.handles;  // the static's own array, not the lambda's copy
    return &block.set;
}

// --------------------------------------------------------------- entries

DHPDEV DrvEnablePDEV(DEVMODEW* devmode, LPWSTR, ULONG, HSURF*, ULONG caps_size, ULONG* caps, ULONG info_size,
                     DEVINFO* info, HDEV hdev, LPWSTR, HANDLE) {
    GDITEST_SETTINGS settings = settings_of(devmode);
    log_line("EnablePDEV " + std::to_string(settings.width) + "x" + std::to_string(settings.height));
    if (settings.fail & GDITEST_FAIL_ENABLE_PDEV) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    GDIINFO gdi{};
    gdi.ulVersion = GDI_DRIVER_VERSION;
    gdi.ulTechnology = DT_RASPRINTER;
    gdi.ulHorzRes = static_cast<ULONG>(settings.width);
    gdi.ulVertRes = static_cast<ULONG>(settings.height);
    gdi.ulHorzSize = gdi.ulHorzRes * 254 / 2030;
    gdi.ulVertSize = gdi.ulVertRes * 254 / 2030;
    gdi.cBitsPixel = 24;
    gdi.cPlanes = 1;
    gdi.ulLogPixelsX = gdi.ulLogPixelsY = 203;
    gdi.ptlPhysOffset = {8, 4};
    gdi.szlPhysSize = {settings.width + 16, settings.height + 8};
    std::memcpy(caps, &gdi, std::min<size_t>(caps_size, sizeof(gdi)));
    DEVINFO dev{};
    dev.cFonts = settings.fonts;
    if (settings.fonts) {
        std::memcpy(dev.lfDefaultFont.lfFaceName, kFonts[0].name, sizeof(kFonts[0].name));
        dev.lfDefaultFont.lfHeight = 24;
    }
    dev.hpalDefault = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    std::memcpy(info, &dev, std::min<size_t>(info_size, sizeof(dev)));
    auto* pdev = new Pdev;
    pdev->settings = settings;
    pdev->hdev = hdev;
    return pdev;
}

void DrvCompletePDEV(DHPDEV, HDEV) { log_line("CompletePDEV"); }

void DrvDisablePDEV(DHPDEV dhpdev) {
    log_line("DisablePDEV");
    delete static_cast<Pdev*>(dhpdev);
}

BOOL DrvResetPDEV(DHPDEV, DHPDEV new_pdev) {
    log_line("ResetPDEV");
    if (static_cast<Pdev*>(new_pdev)->settings.fail & GDITEST_FAIL_RESET_PDEV) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
    auto* pdev = static_cast<Pdev*>(dhpdev);
    log_line("EnableSurface");
    if (pdev->settings.fail & GDITEST_FAIL_ENABLE_SURFACE) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const GDITEST_SETTINGS& s = pdev->settings;
    pdev->band_rows = s.band_height > 0 ? std::min(s.band_height, s.height) : s.height;
    HBITMAP bitmap = EngCreateBitmap(SIZEL{s.width, pdev->band_rows}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr);
    if (!bitmap) return nullptr;
    if (!EngAssociateSurface(bitmap, pdev->hdev, HOOK_TEXTOUT) ||
        (s.band_height >= 0 && !EngMarkBandingSurface(bitmap))) {
        EngDeleteSurface(bitmap);
        return nullptr;
    }
    pdev->surface = bitmap;
    return bitmap;
}

void DrvDisableSurface(DHPDEV dhpdev) {
    auto* pdev = static_cast<Pdev*>(dhpdev);
    log_line("DisableSurface");
    if (pdev->surface) EngDeleteSurface(pdev->surface);
    pdev->surface = nullptr;
}

BOOL DrvStartDoc(SURFOBJ* surface, LPWSTR name, DWORD job_id) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    log_line("StartDoc " + qor::utf16_to_utf8(name ? name : u"") + " " + std::to_string(job_id));
    if (pdev->settings.fail & GDITEST_FAIL_START_DOC) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

void clear_band(SURFOBJ* surface) {
    for (LONG y = 0; y < surface->sizlBitmap.cy; ++y)
        std::memset(static_cast<BYTE*>(surface->pvScan0) + static_cast<ptrdiff_t>(y) * surface->lDelta, 0xFF,
                    static_cast<size_t>(surface->sizlBitmap.cx) * 3);
}

BOOL DrvStartPage(SURFOBJ* surface) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    log_line("StartPage");
    if (pdev->settings.fail & GDITEST_FAIL_START_PAGE) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    // A page sent whole is drawn on white; bands are cleared as they start.
    if (pdev->settings.band_height < 0) clear_band(surface);
    return TRUE;
}

void begin_page(Pdev& pdev) {
    pdev.page.width = pdev.settings.width;
    pdev.page.height = pdev.settings.height;
    pdev.page.bytes.assign(static_cast<size_t>(pdev.page.width) * pdev.page.height * 3, kUncovered);
    pdev.band_y = 0;
}

// Copies the band's rows that lie on the page.
void keep_band(Pdev& pdev, SURFOBJ* surface) {
    const size_t row_bytes = static_cast<size_t>(pdev.page.width) * 3;
    for (LONG row = 0; row < surface->sizlBitmap.cy && pdev.band_y + row < pdev.page.height; ++row) {
        std::memcpy(pdev.page.bytes.data() + static_cast<size_t>(pdev.band_y + row) * row_bytes,
                    static_cast<BYTE*>(surface->pvScan0) + static_cast<ptrdiff_t>(row) * surface->lDelta, row_bytes);
    }
}

void finish_page(Pdev& pdev) {
    Recorder& r = recorder();
    std::lock_guard guard(r.lock);
    r.pages.push_back(pdev.page);
}

BOOL DrvStartBanding(SURFOBJ* surface, POINTL* origin) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    log_line("StartBanding");
    begin_page(*pdev);
    clear_band(surface);
    *origin = {0, 0};
    return TRUE;
}

BOOL DrvNextBand(SURFOBJ* surface, POINTL* origin) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    if (pdev->settings.fail & GDITEST_ENDLESS_BANDS) {
        *origin = {0, 0};
        return TRUE;
    }
    log_line("NextBand " + std::to_string(pdev->band_y));
    keep_band(*pdev, surface);
    clear_band(surface);
    if (EngCheckAbort(surface)) return FALSE;
    pdev->band_y += pdev->band_rows;
    if (pdev->band_y >= pdev->page.height) {
        finish_page(*pdev);
        *origin = {-1, -1};
    } else {
        *origin = {0, pdev->band_y};
    }
    return TRUE;
}

BOOL DrvSendPage(SURFOBJ* surface) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    log_line("SendPage");
    begin_page(*pdev);
    keep_band(*pdev, surface);
    clear_band(surface);
    finish_page(*pdev);
    return TRUE;
}

BOOL DrvEndDoc(SURFOBJ*, FLONG flags) {
    log_line("EndDoc " + std::to_string(flags));
    return TRUE;
}

// One line per call: the band, the face and size, each glyph at its page
// position, the clip rectangle in page coordinates and the colour.
BOOL DrvTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, CLIPOBJ* clip, RECTL*, RECTL*,
                BRUSHOBJ* foreground, BRUSHOBJ*, POINTL*, MIX) {
    Pdev* pdev = pdev_of(surface);
    if (!pdev) return FALSE;
    const IFIMETRICS* ifi = FONTOBJ_pifi(font);
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "TextOut band=%ld face=%lu em=%d", static_cast<long>(pdev->band_y),
                  static_cast<unsigned long>(font->iFace), ifi ? ifi->fwdUnitsPerEm : 0);
    std::string line = buffer;
    STROBJ_vEnumStart(string);
    ULONG count = 0;
    GLYPHPOS* glyphs = nullptr;
    bool more = true;
    while (more) {
        more = STROBJ_bEnum(string, &count, &glyphs) != FALSE;
        for (ULONG i = 0; i < count; ++i) {
            std::snprintf(buffer, sizeof buffer, " %lx@%ld,%ld", static_cast<unsigned long>(glyphs[i].hg),
                          static_cast<long>(glyphs[i].ptl.x), static_cast<long>(glyphs[i].ptl.y + pdev->band_y));
            line += buffer;
        }
    }
    const RECTL& c = clip->rclBounds;
    std::snprintf(buffer, sizeof buffer, " clip=%ld,%ld,%ld,%ld color=%06lx", static_cast<long>(c.left),
                  static_cast<long>(c.top + pdev->band_y), static_cast<long>(c.right),
                  static_cast<long>(c.bottom + pdev->band_y), static_cast<unsigned long>(foreground->iSolidColor));
    log_line(line + buffer);
    if (pdev->settings.fail & GDITEST_FAIL_TEXT_OUT) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

PIFIMETRICS DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG face, ULONG_PTR*) {
    auto* pdev = static_cast<Pdev*>(dhpdev);
    if (face == 0 || face > pdev->settings.fonts) return nullptr;
    return const_cast<PIFIMETRICS>(&kFonts[face - 1].ifi);
}

PVOID DrvQueryFontTree(DHPDEV, ULONG_PTR, ULONG, ULONG mode, ULONG_PTR*) {
    return mode == QFT_GLYPHSET ? const_cast<FD_GLYPHSET*>(glyph_set()) : nullptr;
}

template <class F>
PFN entry(F function) {
    return reinterpret_cast<PFN>(function);
}

const DRVFN kFunctions[] = {
    {INDEX_DrvEnablePDEV, entry(&DrvEnablePDEV)},       {INDEX_DrvCompletePDEV, entry(&DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, entry(&DrvDisablePDEV)},     {INDEX_DrvResetPDEV, entry(&DrvResetPDEV)},
    {INDEX_DrvEnableSurface, entry(&DrvEnableSurface)}, {INDEX_DrvDisableSurface, entry(&DrvDisableSurface)},
    {INDEX_DrvStartDoc, entry(&DrvStartDoc)},           {INDEX_DrvStartPage, entry(&DrvStartPage)},
    {INDEX_DrvSendPage, entry(&DrvSendPage)},           {INDEX_DrvEndDoc, entry(&DrvEndDoc)},
    {INDEX_DrvStartBanding, entry(&DrvStartBanding)},   {INDEX_DrvNextBand, entry(&DrvNextBand)},
    {INDEX_DrvTextOut, entry(&DrvTextOut)},             {INDEX_DrvQueryFont, entry(&DrvQueryFont)},
    {INDEX_DrvQueryFontTree, entry(&DrvQueryFontTree)},
};

}  // namespace

extern "C" {

QORAPI BOOL DrvEnableDriver(ULONG, ULONG size, DRVENABLEDATA* data) {
    if (size < sizeof(DRVENABLEDATA) || !data) return FALSE;
    data->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    data->c = sizeof(kFunctions) / sizeof(kFunctions[0]);
    data->pdrvfn = const_cast<DRVFN*>(kFunctions);
    return TRUE;
}

QORAPI const char* GdiTestLog(void) {
    Recorder& r = recorder();
    std::lock_guard guard(r.lock);
    r.snapshot = r.log;
    return r.snapshot.c_str();
}

QORAPI void GdiTestClear(void) {
    Recorder& r = recorder();
    std::lock_guard guard(r.lock);
    r.log.clear();
    r.pages.clear();
}

QORAPI const BYTE* GdiTestPage(ULONG index, LONG* width, LONG* height) {
    Recorder& r = recorder();
    std::lock_guard guard(r.lock);
    if (index >= r.pages.size()) return nullptr;
    *width = r.pages[index].width;
    *height = r.pages[index].height;
    return r.pages[index].bytes.data();
}

}  // extern "C"
