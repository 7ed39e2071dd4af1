// Glyph data and device metrics of the device fonts, mapped through the
// font's transform as the engine hands it over.
#include "entries.h"
#include "qortest.h"
#include "gdi_font.h"
#include "render_testkit.h"

#include <cstring>

using namespace rendertest;

namespace {

class RenderFontData : public InstalledDriver {
protected:
    void enable(DevmodeChanges changes) {
        EXDEVMODE devmode = make_devmode(changes);
        std::u16string name = kPrinter;
        pdev_ = DrvEnablePDEV(&devmode.dm, nullptr, 0, nullptr, sizeof(caps_), reinterpret_cast<ULONG*>(&caps_),
                              sizeof(info_), &info_, nullptr, name.data(), nullptr);
        ASSERT_NE(pdev_, nullptr);
        font_.fo.iFace = 1;
        font_.fo.flFontType = FO_TYPE_DEVICE;
    }
    void TearDown() override {
        if (pdev_) DrvDisablePDEV(pdev_);
        if (info_.hpalDefault) EngDeletePalette(info_.hpalDefault);
    }
    GLYPHDATA glyph(HGLYPH handle) {
        GLYPHDATA data{};
        EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_GLYPHANDBITMAP, handle, &data, nullptr, 0), 0);
        return data;
    }

    DHPDEV pdev_ = nullptr;
    GDIINFO caps_{};
    DEVINFO info_{};
    qor::gdi::RealizedFont font_;
};

TEST_F(RenderFontData, SingleByteGlyphsAdvanceByHalfTheAverageWidth) {
    enable(DevmodeChanges{1, 150, DMORIENT_PORTRAIT, 768, 1252});
    GLYPHDATA a = glyph(0x41);
    EXPECT_EQ(a.hg, 0x41u);
    EXPECT_EQ(a.fxD, 6 * 16);
    EXPECT_EQ(a.fxA, 0);
    EXPECT_EQ(a.fxAB, 6 * 16);
    EXPECT_EQ(a.fxInkTop, 24 * 16);
    EXPECT_EQ(a.fxInkBottom, 0);
    EXPECT_EQ(a.ptqD.x, static_cast<LONGLONG>(6 * 16) << 28);
    EXPECT_EQ(a.ptqD.y, 0);
    EXPECT_EQ(glyph(0x100).fxD, 12 * 16);
}

TEST_F(RenderFontData, DoubleByteGlyphsAdvanceByTheCell) {
    enable(DevmodeChanges{1, 150, DMORIENT_PORTRAIT, 768, 932});
    EXPECT_EQ(glyph(0x8140).fxD, 24 * 16);
    EXPECT_EQ(glyph(0x41).fxD, 12 * 16);
}

TEST_F(RenderFontData, TheTransformScalesTheGlyphs) {
    enable(DevmodeChanges{2, 150, DMORIENT_PORTRAIT, 768, 1252});
    font_.fo.iFace = 2;  // the 16-dot font
    font_.matrix[0] = 2.0f;
    font_.matrix[3] = 2.0f;
    GLYPHDATA a = glyph(0x41);
    EXPECT_EQ(a.fxD, 8 * 16);  // half of 8, doubled
    EXPECT_EQ(a.fxInkTop, 32 * 16);
}

TEST_F(RenderFontData, DeviceMetricsOfTheFont) {
    enable(DevmodeChanges{1, 150, DMORIENT_PORTRAIT, 768, 1252});
    EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_MAXEXTENTS, 0, nullptr, nullptr, 0), 124);
    FD_DEVICEMETRICS metrics{};
    EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_MAXEXTENTS, 0, nullptr, &metrics, sizeof(metrics)), 124);
    EXPECT_FLOAT_EQ(metrics.pteBase.x, 1.0f);
    EXPECT_FLOAT_EQ(metrics.pteBase.y, 0.0f);
    EXPECT_FLOAT_EQ(metrics.pteSide.x, 0.0f);
    EXPECT_FLOAT_EQ(metrics.pteSide.y, -1.0f);
    EXPECT_EQ(metrics.lD, 24);
    EXPECT_EQ(metrics.fxMaxAscender, 24 * 16);
    EXPECT_EQ(metrics.fxMaxDescender, 0);
    EXPECT_EQ(metrics.cxMax, 24u);
    EXPECT_EQ(metrics.cyMax, 24u);
    EXPECT_EQ(metrics.lNonLinearExtLeading, 0);
    EXPECT_EQ(metrics.lNonLinearIntLeading, 0);
    EXPECT_FLOAT_EQ(metrics.fdxQuantized.eXX, 1.0f);
    // Too small a buffer is refused rather than overrun.
    EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_MAXEXTENTS, 0, nullptr, &metrics, 100), -1);
}

TEST_F(RenderFontData, UnknownModesAndFacesFail) {
    enable(DevmodeChanges{1, 150, DMORIENT_PORTRAIT, 768, 1252});
    GLYPHDATA data{};
    EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_GLYPHANDOUTLINE, 0x41, &data, nullptr, 0), -1);
    font_.fo.iFace = 3;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(DrvQueryFontData(pdev_, &font_.fo, QFD_GLYPHANDBITMAP, 0x41, &data, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(DrvGetGlyphMode(pdev_, &font_.fo), 1u);
}

}  // namespace
