// An application prints a page through the engine: images of every depth
// and system-font text land in the grey page where they were drawn.
#include "render_testkit.h"
#include "qortest.h"

#include <cstring>
#include <string>

using namespace rendertest;

namespace {

using RenderApplication = InstalledDriver;

constexpr DWORD kWidth = 576;

struct Dib {
    std::vector<uint8_t> info;  // header and palette
    std::vector<uint8_t> bits;
    const BITMAPINFO* header() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

Dib make_dib(LONG width, LONG height, WORD bpp, std::vector<RGBQUAD> palette = {}) {
    Dib dib;
    dib.info.resize(sizeof(BITMAPINFOHEADER) + palette.size() * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(h);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bpp;
    h.biClrUsed = static_cast<DWORD>(palette.size());
    std::memcpy(dib.info.data(), &h, sizeof(h));
    if (!palette.empty()) std::memcpy(dib.info.data() + sizeof(h), palette.data(), palette.size() * sizeof(RGBQUAD));
    size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
    dib.bits.assign(stride * static_cast<size_t>(height < 0 ? -height : height), 0);
    return dib;
}

bool all_in(const GreyImage& image, LONG left, LONG top, LONG right, LONG bottom, uint8_t value) {
    for (LONG y = top; y < bottom; ++y)
        for (LONG x = left; x < right; ++x)
            if (image.at(static_cast<DWORD>(x), static_cast<DWORD>(y)) != value) return false;
    return true;
}

int dark_pixels(const GreyImage& image, LONG left, LONG top, LONG right, LONG bottom) {
    int dark = 0;
    for (LONG y = top; y < bottom; ++y)
        for (LONG x = left; x < right; ++x) dark += image.at(static_cast<DWORD>(x), static_cast<DWORD>(y)) < 128;
    return dark;
}

TEST_F(RenderApplication, ImageAndTrueTypeTextLandWhereDrawn) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    // An 8-bit image, black, 40 x 20, stretched to 80 x 40 at (100, 100).
    Dib black = make_dib(40, 20, 8, {RGBQUAD{0, 0, 0, 0}});
    LOGFONTW logfont{};
    logfont.lfHeight = -40;
    std::memcpy(logfont.lfFaceName, u"DejaVu Sans", sizeof(u"DejaVu Sans"));
    HFONT font = CreateFontIndirectW(&logfont);
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        EXPECT_EQ(StretchDIBits(hdc, 100, 100, 80, 40, 0, 0, 40, 20, black.bits.data(), black.header(),
                                DIB_RGB_COLORS, SRCCOPY),
                  20);
        SelectObject(hdc, font);
        SetBkMode(hdc, TRANSPARENT);
        EXPECT_TRUE(TextOutW(hdc, 50, 300, u"HELLO", 5));
        SIZE extent{};
        EXPECT_TRUE(GetTextExtentPoint32W(hdc, u"HELLO", 5, &extent));
        EXPECT_GT(extent.cx, 80);
        EXPECT_LT(extent.cx, 250);
    }));
    DeleteDC(hdc);
    DeleteObject(font);
    GreyImage image = grey_image(0, kWidth);
    ASSERT_EQ(image.height, 2376u);
    EXPECT_TRUE(all_in(image, 100, 100, 180, 140, 0));
    EXPECT_TRUE(all_in(image, 0, 0, kWidth, 100, 0xFF));
    EXPECT_TRUE(all_in(image, 0, 140, kWidth, 300, 0xFF));
    EXPECT_TRUE(all_in(image, 180, 100, kWidth, 140, 0xFF));
    // The text: dark strokes inside its cell, nothing beside or below it.
    EXPECT_GT(dark_pixels(image, 50, 300, 300, 350), 300);
    EXPECT_EQ(dark_pixels(image, 0, 350, kWidth, 2376), 0);
    EXPECT_EQ(dark_pixels(image, 0, 290, 48, 350), 0);
}

TEST_F(RenderApplication, TrueTypeTextIsShapedAndFallsBackPerCharacter) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    auto make_font = [](const char16_t* face) {
        LOGFONTW logfont{};
        logfont.lfHeight = -40;
        std::memcpy(logfont.lfFaceName, face, std::char_traits<char16_t>::length(face) * 2);
        return CreateFontIndirectW(&logfont);
    };
    HFONT sans = make_font(u"DejaVu Sans");
    HFONT mono = make_font(u"DejaVu Sans Mono");
    auto width = [&](const char16_t* text) {
        SIZE extent{};
        EXPECT_TRUE(GetTextExtentPoint32W(hdc, text, static_cast<int>(std::char_traits<char16_t>::length(text)), &extent));
        return extent.cx;
    };
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        SetBkMode(hdc, TRANSPARENT);
        SelectObject(hdc, sans);
        // Lam and alef join into one ligature, narrower than the two letters alone.
        EXPECT_LT(width(u"\u0644\u0627"), width(u"\u0644") + width(u"\u0627"));
        SelectObject(hdc, mono);
        // The face has no ideographs: another installed face draws them, a whole em wide.
        EXPECT_GE(width(u"\u65E5"), 36);
        EXPECT_TRUE(TextOutW(hdc, 50, 300, u"A\u65E5", 2));
    }));
    DeleteDC(hdc);
    DeleteObject(sans);
    DeleteObject(mono);
    GreyImage image = grey_image(0, kWidth);
    EXPECT_GT(dark_pixels(image, 50, 300, 74, 350), 50);    // A
    EXPECT_GT(dark_pixels(image, 74, 300, 124, 350), 150);  // the ideograph, not a missing-glyph box
}

TEST_F(RenderApplication, ImagesOfEveryDepthAndOrientation) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    // 24-bit red, bottom-up, 2 rows: the top picture row red, the bottom white.
    Dib red = make_dib(4, 2, 24);
    std::memset(red.bits.data(), 0xFF, red.bits.size());
    for (int x = 0; x < 4; ++x) {
        uint8_t* top_row = red.bits.data() + 12 + x * 3;  // stored last in a bottom-up image
        top_row[0] = 0, top_row[1] = 0, top_row[2] = 255;
    }
    // 32-bit blue, top-down.
    Dib blue = make_dib(2, -2, 32);
    for (size_t i = 0; i < blue.bits.size(); i += 4) blue.bits[i] = 255;
    // 1-bit: left pixel black, right pixel white.
    Dib mono = make_dib(2, 1, 1, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}});
    mono.bits[0] = 0x40;
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        EXPECT_EQ(StretchDIBits(hdc, 0, 0, 40, 20, 0, 0, 4, 2, red.bits.data(), red.header(), DIB_RGB_COLORS,
                                SRCCOPY),
                  2);
        EXPECT_EQ(StretchDIBits(hdc, 100, 0, 20, 20, 0, 0, 2, 2, blue.bits.data(), blue.header(), DIB_RGB_COLORS,
                                SRCCOPY),
                  2);
        EXPECT_EQ(StretchDIBits(hdc, 200, 0, 20, 10, 0, 0, 2, 1, mono.bits.data(), mono.header(), DIB_RGB_COLORS,
                                SRCCOPY),
                  1);
        // A mirrored copy of the mono image.
        EXPECT_EQ(StretchDIBits(hdc, 300, 0, -20, 10, 0, 0, 2, 1, mono.bits.data(), mono.header(), DIB_RGB_COLORS,
                                SRCCOPY),
                  1);
    }));
    DeleteDC(hdc);
    GreyImage image = grey_image(0, kWidth);
    EXPECT_TRUE(all_in(image, 0, 0, 40, 10, 25));      // red: 10 x 255 / 100
    EXPECT_TRUE(all_in(image, 0, 10, 40, 20, 0xFF));
    EXPECT_TRUE(all_in(image, 100, 0, 120, 20, 53));   // blue: 21 x 255 / 100
    EXPECT_TRUE(all_in(image, 200, 0, 210, 10, 0));
    EXPECT_TRUE(all_in(image, 210, 0, 220, 10, 0xFF));
    EXPECT_TRUE(all_in(image, 280, 0, 290, 10, 0xFF));
    EXPECT_TRUE(all_in(image, 290, 0, 300, 10, 0));
}

TEST_F(RenderApplication, RectanglesAndLines) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        SelectObject(hdc, GetStockObject(NULL_BRUSH));
        EXPECT_TRUE(Rectangle(hdc, 10, 10, 60, 40));
        EXPECT_TRUE(MoveToEx(hdc, 100, 200, nullptr));
        EXPECT_TRUE(LineTo(hdc, 200, 200));
        // Far outside the page: clipped, not walked.
        EXPECT_TRUE(LineTo(hdc, 2000000000, 200));
    }));
    DeleteDC(hdc);
    GreyImage image = grey_image(0, kWidth);
    EXPECT_TRUE(all_in(image, 10, 10, 60, 11, 0));
    EXPECT_TRUE(all_in(image, 10, 39, 60, 40, 0));
    EXPECT_TRUE(all_in(image, 10, 10, 11, 40, 0));
    EXPECT_TRUE(all_in(image, 11, 11, 59, 39, 0xFF));
    EXPECT_TRUE(all_in(image, 100, 200, kWidth, 201, 0));
    EXPECT_TRUE(all_in(image, 0, 201, kWidth, 202, 0xFF));
}

TEST_F(RenderApplication, BadCallsAreRefused) {
    HDC hdc = create_dc(make_devmode());
    ASSERT_NE(hdc, nullptr);
    Dib dib = make_dib(4, 4, 24);
    // Drawing outside a page, bad bitmaps and a source beyond the picture.
    EXPECT_EQ(StretchDIBits(hdc, 0, 0, 4, 4, 0, 0, 4, 4, dib.bits.data(), dib.header(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_FALSE(TextOutW(hdc, 0, 0, u"A", 1));
    ASSERT_TRUE(print_document(hdc, 1, [&](int) {
        EXPECT_EQ(StretchDIBits(hdc, 0, 0, 4, 4, 0, 0, 5, 4, dib.bits.data(), dib.header(), DIB_RGB_COLORS, SRCCOPY),
                  0);
        Dib odd = make_dib(4, 4, 16);
        SetLastError(qortest::kStaleError);
        EXPECT_EQ(StretchDIBits(hdc, 0, 0, 4, 4, 0, 0, 4, 4, odd.bits.data(), odd.header(), DIB_RGB_COLORS, SRCCOPY),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_FALSE(TextOutW(hdc, 0, 0, nullptr, 3));
    }));
    EXPECT_EQ(StartPage(hdc), SP_ERROR);  // no document
    DeleteDC(hdc);
    EXPECT_EQ(StartPage(hdc), SP_ERROR);
    EXPECT_EQ(CreateDCW(u"WINSPOOL", u"No Such Printer", nullptr, nullptr), nullptr);
}

TEST_F(RenderApplication, PrinterNameAloneFindsTheInstalledDriver) {
    HDC hdc = CreateDCW(u"WINSPOOL", kPrinter, nullptr, nullptr);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 576);  // the description's default paper
    ASSERT_TRUE(print_document(hdc, 1));
    DeleteDC(hdc);
    EXPECT_EQ(record_types(), (std::vector<uint16_t>{1, 4, 0xFFFF, 2}));
}

}  // namespace
