// Fonts and text: device fonts the driver draws, FreeType faces the engine
// draws into the band, metrics and extents, font objects.
#include "gditest_kit.h"

#include "qortest.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <utility>

using namespace gditest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

HFONT make_font(const char16_t* face, LONG height) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    std::memcpy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face) * 2);
    return CreateFontIndirectW(&lf);
}

class Text : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dc_ = create_dc({.band_height = 16, .fonts = 2});
        ASSERT_NE(dc_, nullptr);
    }
    void TearDown() override {
        DeleteDC(dc_);
        for (HFONT font : fonts_) DeleteObject(font);
        EngineTest::TearDown();
    }
    void select(const char16_t* face, LONG height) {
        fonts_.push_back(make_font(face, height));
        ASSERT_NE(SelectObject(dc_, fonts_.back()), nullptr);
    }
    // The glyph part of every DrvTextOut line.
    std::vector<std::string> text_outs() const {
        std::vector<std::string> result;
        for (auto line : lines("TextOut")) result.push_back(line.substr(0, line.find(" clip=")));
        return result;
    }
    HDC dc_ = nullptr;
    std::vector<HFONT> fonts_;
};

int collect(const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM param) {
    auto* seen = reinterpret_cast<std::vector<std::pair<std::u16string, LONG>>*>(param);
    if (type == DEVICE_FONTTYPE) seen->emplace_back(lf->lfFaceName, lf->lfHeight);
    else seen->emplace_back(u"TrueType " + std::u16string(lf->lfFaceName), 0);
    return 1;
}

TEST_F(Text, DeviceFontsAreEnumeratedBeforeInstalledFamilies) {
    std::vector<std::pair<std::u16string, LONG>> seen;
    EXPECT_EQ(EnumFontFamiliesExW(dc_, nullptr, collect, reinterpret_cast<LPARAM>(&seen), 0), 1);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(std::u16string(u"Test Device"), LONG{24}));
    EXPECT_EQ(seen[1], std::make_pair(std::u16string(u"Test Device"), LONG{16}));
    EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(std::u16string(u"TrueType DejaVu Sans"), LONG{0})),
              seen.end());
}

TEST_F(Text, DeviceFontMetricsAndExtentsFollowTheCell) {
    select(u"test device", 16);  // names match without regard to case
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc_, &tm));
    EXPECT_EQ(tm.tmAscent, 13);
    EXPECT_EQ(tm.tmDescent, 3);
    EXPECT_EQ(tm.tmAveCharWidth, 8);
    SIZE size{};
    // Double-byte characters take two cells.
    ASSERT_TRUE(GetTextExtentPoint32W(dc_, u"AB\u3042", 3, &size));
    EXPECT_EQ(size.cx, 32);
    EXPECT_EQ(size.cy, 16);
    ASSERT_TRUE(GetTextExtentPoint32W(dc_, u"", 0, &size));
    EXPECT_EQ(size.cx, 0);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GetTextExtentPoint32W(dc_, u"A", -1, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Text, DeviceTextGoesToTheDriverInEveryBandAtPagePositions) {
    select(u"Test Device", 16);
    SetTextColor(dc_, RGB(255, 0, 0));
    ASSERT_TRUE(print_page(dc_, [&] { EXPECT_TRUE(TextOutW(dc_, 5, 20, u"A~\u3042", 3)); }));
    // Top-aligned: the baseline is one ascent down. The driver gets only the
    // characters its font holds; the one it lacks is drawn by the engine.
    const std::string glyphs = " face=2 em=16 41@5,33 7e@13,33";
    EXPECT_THAT(text_outs(), ElementsAre("TextOut band=0" + glyphs, "TextOut band=16" + glyphs,
                                         "TextOut band=32" + glyphs));
    EXPECT_THAT(lines("TextOut")[1], HasSubstr("color=ff0000"));
    // The driver prints its own characters: the band holds only the missing
    // character, inside its double cell.
    const RECT ink = page(0).ink();
    EXPECT_GE(ink.left, 21);
    EXPECT_LE(ink.right, 21 + 16);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 20 + 16);
    EXPECT_GT(ink.right, ink.left);
}

TEST_F(Text, AlignmentMovesTheOrigin) {
    select(u"Test Device", 16);
    ASSERT_TRUE(print_page(dc_, [&] {
        SetTextAlign(dc_, TA_RIGHT | TA_BASELINE);
        TextOutW(dc_, 40, 10, u"AB", 2);
        SetTextAlign(dc_, TA_CENTER | TA_BOTTOM);
        TextOutW(dc_, 40, 30, u"AB", 2);
    }));
    auto outs = text_outs();
    ASSERT_GE(outs.size(), 2u);
    EXPECT_THAT(outs[0], HasSubstr(" 41@24,10 42@32,10"));
    EXPECT_THAT(outs[1], HasSubstr(" 41@32,27 42@40,27"));
}

TEST_F(Text, TheDefaultFontIsTheDevicesOwn) {
    ASSERT_TRUE(print_page(dc_, [&] { TextOutW(dc_, 0, 0, u"A", 1); }));
    EXPECT_THAT(text_outs().at(0), StartsWith("TextOut band=0 face=1 em=24 41@0,20"));
}

TEST_F(Text, ARefusedDeviceTextFailsThePage) {
    HDC dc = create_dc({.fonts = 1, .fail = GDITEST_FAIL_TEXT_OUT});
    DOCINFOW doc{sizeof(DOCINFOW), u"text", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &doc), 0);
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_TRUE(TextOutW(dc, 0, 0, u"A", 1));
    EXPECT_EQ(EndPage(dc), SP_ERROR);
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Text, SystemFontsAreDrawnByTheEngineTheSameInEveryBand) {
    auto draw = [](HDC dc) {
        HFONT font = make_font(u"DejaVu Sans", -20);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 2, 10, u"Hg", 2);   // across the band edge at 16
        TextOutW(dc, -6, -8, u"\u2588", 1);  // partly above and left of the page
        TextOutW(dc, 56, 40, u"\u2588", 1);  // partly past the right and bottom
        SelectObject(dc, old);
        DeleteObject(font);
    };
    std::vector<Image> pages;
    for (LONG band : {0, 16, 7, 1}) {
        clear();
        HDC dc = create_dc({.band_height = band, .fonts = 2});
        ASSERT_TRUE(print_page(dc, [&] { draw(dc); }));
        DeleteDC(dc);
        EXPECT_TRUE(lines("TextOut").empty()) << "no device font was chosen";
        pages.push_back(page(0));
    }
    const Image& whole = pages[0];
    EXPECT_GT(whole.count(0x000000), 40u);
    EXPECT_EQ(whole.ink(), (RECT{0, 0, 64, 48})) << "the cut glyphs reach every edge";
    for (size_t i = 1; i < pages.size(); ++i) EXPECT_TRUE(pages[i] == whole) << "page " << i;
}

TEST_F(Text, SystemFontExtentsAddUpTheAdvances) {
    select(u"DejaVu Sans", -20);
    SIZE one{}, two{};
    ASSERT_TRUE(GetTextExtentPoint32W(dc_, u"i", 1, &one));
    ASSERT_TRUE(GetTextExtentPoint32W(dc_, u"ii", 2, &two));
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(two.cx, 2 * one.cx);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc_, &tm));
    EXPECT_EQ(two.cy, tm.tmAscent + tm.tmDescent);
    EXPECT_GE(tm.tmAscent + tm.tmDescent, 20);
}

TEST_F(Text, ClippedAndOpaqueRectanglesBoundTheText) {
    select(u"DejaVu Sans", -24);
    SetBkMode(dc_, TRANSPARENT);
    SetBkColor(dc_, RGB(0, 255, 0));
    const RECT clip{4, 14, 12, 19}, opaque{30, 5, 40, 9};
    ASSERT_TRUE(print_page(dc_, [&] {
        EXPECT_TRUE(ExtTextOutW(dc_, 2, 2, ETO_CLIPPED, &clip, u"WW", 2, nullptr));
        EXPECT_TRUE(ExtTextOutW(dc_, 30, 5, ETO_OPAQUE, &opaque, u"", 0, nullptr));
    }));
    Image image = page(0);
    EXPECT_EQ(image.count(0x00FF00), 40u);
    Image text = image;
    for (LONG y = opaque.top; y < opaque.bottom; ++y)
        for (LONG x = opaque.left; x < opaque.right; ++x) std::memset(&text.bytes[(y * text.width + x) * 3], 0xFF, 3);
    RECT ink = text.ink();
    EXPECT_GT(ink.right, ink.left);
    EXPECT_GE(ink.left, clip.left);
    EXPECT_GE(ink.top, clip.top);
    EXPECT_LE(ink.right, clip.right);
    EXPECT_LE(ink.bottom, clip.bottom);
}

TEST_F(Text, FontObjectsAreCheckedWhenMadeAndSelected) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HFONT font = make_font(u"Test Device", 24);
    EXPECT_EQ(SelectObject(dc_, font), GetStockObject(DEVICE_DEFAULT_FONT));
    EXPECT_EQ(SelectObject(dc_, GetStockObject(DEVICE_DEFAULT_FONT)), font);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(SelectObject(dc_, dc_), nullptr) << "a device context is not selectable";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(SelectObject(dc_, reinterpret_cast<HGDIOBJ>(uintptr_t{0x6D7FFFF0})), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeleteObject(dc_));
    EXPECT_TRUE(DeleteObject(GetStockObject(DEVICE_DEFAULT_FONT)));
    EXPECT_NE(SelectObject(dc_, GetStockObject(DEVICE_DEFAULT_FONT)), nullptr) << "stock objects stay";
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(ExtTextOutW(dc_, 0, 0, 0, nullptr, u"A", 1, nullptr)) << "no page is open";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
