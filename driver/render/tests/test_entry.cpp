// The driver's entry points as the engine finds them: enabling, device
// set-up, capabilities, escapes and the device fonts' descriptions.
#include "render_testkit.h"
#include "qortest.h"

#include "qor/module.h"

#include <cstring>
#include <string>

using namespace rendertest;

namespace {

template <class F>
F bound(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Size in mm, resolution and physical size in dots, physical offset.
struct Geometry {
    LONG horz_mm, vert_mm, horz_res, vert_res, phys_cx, phys_cy, offset_x, offset_y;
};

void expect_geometry(const GDIINFO& caps, const Geometry& g) {
    EXPECT_EQ(static_cast<LONG>(caps.ulHorzSize), g.horz_mm);
    EXPECT_EQ(static_cast<LONG>(caps.ulVertSize), g.vert_mm);
    EXPECT_EQ(static_cast<LONG>(caps.ulHorzRes), g.horz_res);
    EXPECT_EQ(static_cast<LONG>(caps.ulVertRes), g.vert_res);
    EXPECT_EQ(caps.szlPhysSize.cx, g.phys_cx);
    EXPECT_EQ(caps.szlPhysSize.cy, g.phys_cy);
    EXPECT_EQ(caps.ptlPhysOffset.x, g.offset_x);
    EXPECT_EQ(caps.ptlPhysOffset.y, g.offset_y);
}

class RenderDriverEntries : public InstalledDriver {
protected:
    void SetUp() override {
        InstalledDriver::SetUp();
        module_ = LoadLibraryW(driver_path().c_str());
        ASSERT_NE(module_, nullptr);
        auto enable = bound<PFN_DrvEnableDriver>(module_, "DrvEnableDriver");
        ASSERT_NE(enable, nullptr);
        ASSERT_TRUE(enable(DDI_DRIVER_VERSION_NT5, sizeof(data_), &data_));
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    template <class F>
    F entry(ULONG index) const {
        for (ULONG i = 0; i < data_.c; ++i)
            if (data_.pdrvfn[i].iFunc == index) return reinterpret_cast<F>(data_.pdrvfn[i].pfn);
        return nullptr;
    }
    // Enables a PDEV directly, as the engine's first step does.
    DHPDEV enable_pdev(const EXDEVMODE& devmode, GDIINFO& caps, DEVINFO& info) {
        EXDEVMODE copy = devmode;
        std::u16string name = kPrinter;
        return entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(&copy.dm, nullptr, 0, nullptr, sizeof(caps),
                                                              reinterpret_cast<ULONG*>(&caps), sizeof(info), &info,
                                                              nullptr, name.data(), nullptr);
    }
    void disable_pdev(DHPDEV pdev, DEVINFO& info) {
        entry<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(pdev);
        EngDeletePalette(info.hpalDefault);
    }

    HMODULE module_ = nullptr;
    DRVENABLEDATA data_{};
};

TEST_F(RenderDriverEntries, QueryDriverInfoReportsAUserModeDriver) {
    auto query = bound<PFN_DrvQueryDriverInfo>(module_, "DrvQueryDriverInfo");
    ASSERT_NE(query, nullptr);
    DWORD kind = 0, needed = 0;
    EXPECT_TRUE(query(DRVQUERY_USERMODE, &kind, sizeof(kind), &needed));
    EXPECT_EQ(kind, 1u);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(query(2, &kind, sizeof(kind), &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(query(DRVQUERY_USERMODE, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(RenderDriverEntries, EnableDriverHandsOutTheEighteenEntries) {
    EXPECT_EQ(data_.iDriverVersion, 0x20000u);
    ASSERT_EQ(data_.c, 18u);
    const ULONG order[] = {0, 7, 1, 2, 3, 4, 35, 33, 32, 34, 24, 57, 58, 37, 23, 26, 27, 28};
    for (ULONG i = 0; i < 18; ++i) {
        EXPECT_EQ(data_.pdrvfn[i].iFunc, order[i]) << "entry " << i;
        EXPECT_NE(data_.pdrvfn[i].pfn, nullptr);
    }
    auto enable = bound<PFN_DrvEnableDriver>(module_, "DrvEnableDriver");
    DRVENABLEDATA data{};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(enable(0x10000, sizeof(data), &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_DRIVER_LEVEL));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(enable(DDI_DRIVER_VERSION_NT5, 8, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_DRIVER_LEVEL));
}

TEST_F(RenderDriverEntries, CapabilitiesOfAPortraitDevice) {
    GDIINFO caps{};
    DEVINFO info{};
    DHPDEV pdev = enable_pdev(make_devmode(), caps, info);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(caps.ulVersion, 0x400u);
    EXPECT_EQ(caps.ulTechnology, 2u);
    expect_geometry(caps, {72, 297, 576, 2376, 640, 2376, 32, 0});
    EXPECT_EQ(caps.cBitsPixel, 24u);
    EXPECT_EQ(caps.ulNumColors, 8u);
    EXPECT_EQ(caps.ulLogPixelsX, 203u);
    EXPECT_EQ(caps.flTextCaps, 0x1E1Fu);
    EXPECT_EQ(caps.ulAspectXY, 287u);
    EXPECT_EQ(caps.denStyleStep, 8);
    EXPECT_EQ(caps.ulHTPatternSize, 5u);
    EXPECT_EQ(caps.flHTFlags, 2u);
    EXPECT_EQ(caps.ciDevice.Red.x, 6380);
    EXPECT_EQ(caps.ciDevice.MagentaInYellowDye, 10000);
    EXPECT_EQ(info.flGraphicsCaps, 0x11Eu);
    EXPECT_EQ(info.lfDefaultFont.lfHeight, -31);
    EXPECT_EQ(info.lfDefaultFont.lfPitchAndFamily, 0x31);
    EXPECT_EQ(std::u16string(info.lfAnsiVarFont.lfFaceName), u"Helv");
    EXPECT_EQ(info.lfAnsiVarFont.lfPitchAndFamily, 0x22);
    EXPECT_EQ(std::u16string(info.lfAnsiFixFont.lfFaceName), u"Courier");
    EXPECT_EQ(info.cFonts, 0u);
    EXPECT_EQ(info.iDitherFormat, static_cast<ULONG>(BMF_24BPP));
    EXPECT_NE(info.hpalDefault, nullptr);
    disable_pdev(pdev, info);
}

TEST_F(RenderDriverEntries, LandscapeSwapsTheGeometry) {
    DevmodeChanges changes;
    changes.orientation = DMORIENT_LANDSCAPE;
    changes.paper = 300;
    GDIINFO caps{};
    DEVINFO info{};
    DHPDEV pdev = enable_pdev(make_devmode(changes), caps, info);
    ASSERT_NE(pdev, nullptr);
    expect_geometry(caps, {5, 72, 40, 577, 56, 640, 8, 16});
    disable_pdev(pdev, info);
}

TEST_F(RenderDriverEntries, DeviceFontsFollowTheFontSetting) {
    GDIINFO caps{};
    DEVINFO info{};
    DHPDEV pdev = enable_pdev(make_devmode(), caps, info);
    ASSERT_NE(pdev, nullptr);
    auto query_font = entry<PFN_DrvQueryFont>(INDEX_DrvQueryFont);
    ULONG_PTR id = 7;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(query_font(pdev, 0, 1, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(id, 0u);
    disable_pdev(pdev, info);

    DevmodeChanges changes;
    changes.font = 1;
    pdev = enable_pdev(make_devmode(changes), caps, info);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(info.cFonts, 2u);
    IFIMETRICS* first = query_font(pdev, 0, 1, &id);
    IFIMETRICS* second = query_font(pdev, 0, 2, &id);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(query_font(pdev, 0, 3, &id), nullptr);
    EXPECT_EQ(first->cjThis, 696u);
    EXPECT_EQ(first->fwdUnitsPerEm, 24);
    EXPECT_EQ(first->fwdAveCharWidth, 12);
    EXPECT_EQ(second->fwdUnitsPerEm, 16);
    EXPECT_EQ(second->fwdAveCharWidth, 8);
    EXPECT_EQ(first->flInfo, 0x00483822u);
    EXPECT_EQ(first->jWinPitchAndFamily, 0x31);
    EXPECT_EQ(first->wcLastChar, 0x2122);
    EXPECT_EQ(first->rclFontBox.top, 24);
    EXPECT_EQ(first->rclFontBox.right, 24);
    std::u16string face(reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(first) + first->dpwszFaceName));
    EXPECT_EQ(face, u"QOR Original");

    auto tree = entry<PFN_DrvQueryFontTree>(INDEX_DrvQueryFontTree);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(tree(pdev, 0, 1, QFT_KERNPAIRS, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    auto* set = static_cast<FD_GLYPHSET*>(tree(pdev, 0, 1, QFT_GLYPHSET, &id));
    ASSERT_NE(set, nullptr);
    // The printer's graphics table (code page 437 from 20 to FF), not the host's code page.
    EXPECT_EQ(set->cGlyphsSupported, 224u);
    auto handle = [&](char16_t ch) -> HGLYPH {
        for (ULONG r = 0; r < set->cRuns; ++r)
            if (ch >= set->awcrun[r].wcLow && ch < set->awcrun[r].wcLow + set->awcrun[r].cGlyphs)
                return set->awcrun[r].phg[ch - set->awcrun[r].wcLow];
        return HGLYPH_INVALID;
    };
    EXPECT_EQ(handle(u'A'), 0x41u);
    EXPECT_EQ(handle(u'\u00E9'), 0x82u);  // é
    EXPECT_EQ(handle(u'\u00DF'), 0xE1u);  // ß
    EXPECT_EQ(handle(u'\u2502'), 0xB3u);  // │
    EXPECT_EQ(handle(u'\u20AC'), HGLYPH_INVALID);  // € is not in the table
    EXPECT_EQ(handle(u'\n'), HGLYPH_INVALID);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(tree(pdev, 0, 1, 9, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    disable_pdev(pdev, info);
}

TEST_F(RenderDriverEntries, DoubleByteDevicesUseTheCarriedGlyphSet) {
    DevmodeChanges changes;
    changes.font = 2;
    changes.code_page = 932;
    GDIINFO caps{};
    DEVINFO info{};
    DHPDEV pdev = enable_pdev(make_devmode(changes), caps, info);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(info.lfDefaultFont.lfCharSet, 128);
    ULONG_PTR id = 0;
    IFIMETRICS* font = entry<PFN_DrvQueryFont>(INDEX_DrvQueryFont)(pdev, 0, 1, &id);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->flInfo, 0x10482822u);
    EXPECT_EQ(font->jWinCharSet, 128);
    EXPECT_EQ(font->wcLastChar, 0xFFFF);
    auto* set = static_cast<FD_GLYPHSET*>(
        entry<PFN_DrvQueryFontTree>(INDEX_DrvQueryFontTree)(pdev, 0, 1, QFT_GLYPHSET, &id));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->cGlyphsSupported, 7484u);
    EXPECT_EQ(set->cRuns, 4247u);
    disable_pdev(pdev, info);
}

TEST_F(RenderDriverEntries, NoDeviceWithoutADescriptionOrDeviceMode) {
    GDIINFO caps{};
    DEVINFO info{};
    std::u16string name = kPrinter;
    SetLastError(0);
    EXPECT_EQ(entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV)(nullptr, nullptr, 0, nullptr, sizeof(caps),
                                                             reinterpret_cast<ULONG*>(&caps), sizeof(info), &info,
                                                             nullptr, name.data(), nullptr),
              nullptr);
    std::string path = std::string(std::getenv("QOR_ROOT")) + "/drivers/3/qorn5001.ppd";
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(enable_pdev(make_devmode(), caps, info), nullptr);
}

TEST_F(RenderDriverEntries, EscapesWithoutADevice) {
    auto escape = entry<PFN_DrvEscape>(INDEX_DrvEscape);
    DWORD asked = 19;
    EXPECT_EQ(escape(nullptr, QUERYESCSUPPORT, 4, &asked, 0, nullptr), 0u);
    asked = 17;
    EXPECT_EQ(escape(nullptr, QUERYESCSUPPORT, 4, &asked, 0, nullptr), 99u);
    asked = 20;
    EXPECT_EQ(escape(nullptr, QUERYESCSUPPORT, 4, &asked, 0, nullptr), 1u);
    asked = 8;
    EXPECT_EQ(escape(nullptr, QUERYESCSUPPORT, 4, &asked, 0, nullptr), 1u);
    EXPECT_EQ(escape(nullptr, QUERYESCSUPPORT, 2, &asked, 0, nullptr), 0u);
    char technology[16] = {};
    EXPECT_EQ(escape(nullptr, GETTECHNOLOGY, 0, nullptr, sizeof(technology), technology), 1u);
    EXPECT_EQ(std::memcmp(technology, "RVXL Level2", 12), 0);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(escape(nullptr, GETTECHNOLOGY, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(escape(nullptr, GETTECHNOLOGY, 0, nullptr, 5, technology), 0u);
    DWORD copies = 5;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(escape(nullptr, SETCOPYCOUNT, 4, &copies, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(escape(nullptr, 4242, 0, nullptr, 0, nullptr), 0u);
}

TEST_F(RenderDriverEntries, EscapesThroughTheDeviceContext) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    int copies = 5, result = 0;
    EXPECT_EQ(ExtEscape(hdc, SETCOPYCOUNT, sizeof(copies), reinterpret_cast<LPCSTR>(&copies), sizeof(result),
                        reinterpret_cast<LPSTR>(&result)),
              1);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ExtEscape(hdc, SETCOPYCOUNT, 0, nullptr, 0, nullptr), -1);
    int asked = PASSTHROUGH;
    EXPECT_EQ(ExtEscape(hdc, QUERYESCSUPPORT, sizeof(asked), reinterpret_cast<LPCSTR>(&asked), 0, nullptr), 0);
    EXPECT_TRUE(DeleteDC(hdc));
}

TEST_F(RenderDriverEntries, DeviceCapsOfTheDeviceContext) {
    DevmodeChanges changes;
    changes.orientation = DMORIENT_LANDSCAPE;
    HDC hdc = create_dc(make_devmode(changes));
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 2376);
    EXPECT_EQ(GetDeviceCaps(hdc, VERTRES), 576);
    EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), 203);
    EXPECT_EQ(GetDeviceCaps(hdc, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(hdc, BITSPIXEL), 24);
    EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALWIDTH), 2376);
    EXPECT_EQ(GetDeviceCaps(hdc, NUMFONTS), 0);
    EXPECT_TRUE(DeleteDC(hdc));
    EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 0);
}

}  // namespace
