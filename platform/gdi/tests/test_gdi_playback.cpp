// Playing recorded pages into the band: rectangles, lines and scaled
// images, at band edges and partly or wholly off the page.
#include "gditest_kit.h"

#include "qortest.h"

#include <gmock/gmock.h>

#include <climits>
#include <cstring>
#include <sstream>

using namespace gditest;
using ::testing::ElementsAre;

namespace {

constexpr ULONG kWhite = 0xFFFFFF;
constexpr ULONG kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0x000000;

class Playback : public EngineTest {
protected:
    // The page as the driver received it, drawn by `draw` on a fresh device.
    Image printed(const std::function<void(HDC)>& draw, Settings settings = {}) {
        clear();
        HDC dc = create_dc(settings);
        EXPECT_NE(dc, nullptr);
        EXPECT_TRUE(print_page(dc, [&] { draw(dc); }));
        EXPECT_TRUE(DeleteDC(dc));
        EXPECT_EQ(page_count(), 1u);
        return page(0);
    }
    void fill(HDC dc, RECT r, HBRUSH brush = HBRUSH(GetStockObject(BLACK_BRUSH))) {
        EXPECT_EQ(FillRect(dc, &r, brush), 1);
    }
};

int stretch(HDC dc, const Dib& dib, int x, int y, int w, int h, int sx = 0, int sy = 0, int sw = INT_MIN,
            int sh = INT_MIN) {
    LONG width = dib.header()->bmiHeader.biWidth, height = std::abs(dib.header()->bmiHeader.biHeight);
    return StretchDIBits(dc, x, y, w, h, sx, sy, sw == INT_MIN ? width : sw, sh == INT_MIN ? height : sh, dib.bits.data(),
                         dib.header(), DIB_RGB_COLORS, SRCCOPY);
}

// Every kind of drawing, crossing the band edges the tests use.
void scene(HDC dc) {
    RECT r{3, 14, 20, 18};
    FillRect(dc, &r, HBRUSH(GetStockObject(GRAY_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, pen);
    Rectangle(dc, 40, 2, 60, 30);
    MoveToEx(dc, 1, 0, nullptr);
    LineTo(dc, 12, 47);
    SelectObject(dc, old);
    DeleteObject(pen);
    MoveToEx(dc, -20, -30, nullptr);
    LineTo(dc, 63, 40);
    MoveToEx(dc, 0, 47, nullptr);
    LineTo(dc, 63, 5);
    Dib dib = make_dib(24, {{kRed, kGreen, kBlue}, {kBlack, kWhite, kRed}, {kGreen, kBlue, kBlack}});
    stretch(dc, dib, 22, 10, 10, 13);
    stretch(dc, dib, 62, 30, -9, 11);
}

// The pixels of row y from x = from up to to.
std::vector<ULONG> row_of(const Image& image, LONG y, LONG from, LONG to) {
    std::vector<ULONG> row;
    for (LONG x = from; x < to; ++x) row.push_back(image.at(x, y));
    return row;
}

// The first pixels where two pages differ.
std::string difference(const Image& a, const Image& b) {
    std::ostringstream out;
    int shown = 0;
    for (LONG y = 0; y < std::min(a.height, b.height) && shown < 8; ++y)
        for (LONG x = 0; x < std::min(a.width, b.width) && shown < 8; ++x)
            if (a.at(x, y) != b.at(x, y))
                out << " (" << x << "," << y << ") " << std::hex << a.at(x, y) << "/" << b.at(x, y) << std::dec,
                    ++shown;
    return out.str();
}

TEST_F(Playback, APageIsTheSameWhateverTheBands) {
    Image whole = printed(scene, {.band_height = 0});
    ASSERT_EQ(whole.count(0x7F7F7F), 0u);
    for (LONG band : {16, 7, 5, 1}) {
        Image banded = printed(scene, {.band_height = band});
        EXPECT_TRUE(banded == whole) << "bands of " << band << difference(banded, whole);
    }
    Image again = printed(scene, {.band_height = 0});
    EXPECT_TRUE(again == whole) << difference(again, whole);
    Image sent = printed(scene, {.band_height = -1});
    EXPECT_TRUE(sent == whole) << "sent whole" << difference(sent, whole);
    EXPECT_EQ(lines("SendPage").size(), 1u);
}

TEST_F(Playback, BandsCoverThePageOnceEach) {
    printed([](HDC) {}, {.height = 48, .band_height = 20});
    EXPECT_THAT(lines("NextBand"), ElementsAre("NextBand 0", "NextBand 20", "NextBand 40"));
}

TEST_F(Playback, RectanglesAreCutToThePage) {
    struct Case {
        RECT drawn, seen;
    };
    const Case cases[] = {
        {{0, 15, 8, 16}, {0, 15, 8, 16}},      // last row of a band
        {{0, 16, 8, 17}, {0, 16, 8, 17}},      // first row of the next
        {{5, 47, 6, 60}, {5, 47, 6, 48}},      // past the bottom
        {{-5, -3, 3, 2}, {0, 0, 3, 2}},        // before the top-left corner
        {{60, 10, 900, 11}, {60, 10, 64, 11}}, // past the right edge
        {{INT_MIN, INT_MIN, INT_MAX, 1}, {0, 0, 64, 1}},
        {{64, 0, 70, 5}, {0, 0, 0, 0}},        // wholly outside
        {{-10, -10, 0, 0}, {0, 0, 0, 0}},
        {{10, 10, 10, 20}, {0, 0, 0, 0}},      // empty
    };
    for (const Case& c : cases) EXPECT_EQ(printed([&](HDC dc) { fill(dc, c.drawn); }).ink(), c.seen) << c.drawn;
}

TEST_F(Playback, LinesLeaveOutTheirEndAndAreCutToThePage) {
    auto line = [&](POINT from, POINT to) {
        return printed([&](HDC dc) {
            MoveToEx(dc, from.x, from.y, nullptr);
            LineTo(dc, to.x, to.y);
        });
    };
    EXPECT_EQ(line({2, 15}, {10, 15}).ink(), (RECT{2, 15, 10, 16}));
    EXPECT_EQ(line({5, 10}, {5, 20}).ink(), (RECT{5, 10, 6, 20}));
    EXPECT_EQ(line({-1000000, 20}, {30, 20}).ink(), (RECT{0, 20, 30, 21}));
    EXPECT_EQ(line({30, 40}, {30, 1000000}).ink(), (RECT{30, 40, 31, 48}));
    EXPECT_EQ(line({-50, -50}, {-1, 40}).ink(), (RECT{0, 0, 0, 0}));
    EXPECT_EQ(line({INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}).count(kBlack), 48u);
}

TEST_F(Playback, ImagesOfEveryDepthDrawTheirColours) {
    const std::vector<std::vector<ULONG>> colours = {{kRed, kGreen}, {kBlue, kBlack}};
    const std::vector<std::vector<ULONG>> indexes = {{1, 0}, {0, 1}};
    std::vector<Dib> dibs = {make_dib(24, colours), make_dib(32, colours), make_dib(24, colours, {}, true),
                             make_dib(8, indexes, {kWhite, kRed}), make_dib(1, indexes, {kBlue, kRed})};
    for (const Dib& dib : dibs) {
        Image image = printed([&](HDC dc) { EXPECT_EQ(stretch(dc, dib, 10, 15, 2, 2), 2); });
        WORD bits = dib.header()->bmiHeader.biBitCount;
        if (bits > 8) {
            for (LONG y = 0; y < 2; ++y)
                for (LONG x = 0; x < 2; ++x) EXPECT_EQ(image.at(10 + x, 15 + y), colours[y][x]) << bits;
        } else {
            ULONG zero = bits == 8 ? kWhite : kBlue;
            EXPECT_THAT(row_of(image, 15, 10, 12), ElementsAre(kRed, zero)) << bits;
            EXPECT_THAT(row_of(image, 16, 10, 12), ElementsAre(zero, kRed)) << bits;
        }
    }
}

TEST_F(Playback, ScalingSamplesPixelCentres) {
    Dib three = make_dib(24, {{kRed, kGreen, kBlue}});
    Image up = printed([&](HDC dc) { stretch(dc, three, 4, 16, 7, 1); });
    EXPECT_THAT(row_of(up, 16, 3, 12), ElementsAre(kWhite, kRed, kRed, kGreen, kGreen, kGreen, kBlue, kBlue, kWhite));
    Dib four = make_dib(24, {{kRed, kGreen, kBlue, kBlack}});
    Image down = printed([&](HDC dc) { stretch(dc, four, 0, 0, 2, 1); });
    EXPECT_THAT(row_of(down, 0, 0, 3), ElementsAre(kGreen, kBlack, kWhite));
    Image doubled = printed([&](HDC dc) { stretch(dc, three, 0, 14, 6, 4); });
    EXPECT_EQ(doubled.ink(), (RECT{0, 14, 6, 18}));
    EXPECT_EQ(doubled.count(kGreen), 8u);
}

TEST_F(Playback, NegativeExtentsMirror) {
    Dib dib = make_dib(24, {{kRed, kGreen, kBlue}, {kBlack, kBlack, kBlack}});
    // Drawn right to left from x = 13, and bottom to top from y = 21.
    Image image = printed([&](HDC dc) { stretch(dc, dib, 13, 21, -3, -2); });
    EXPECT_EQ(image.ink(), (RECT{10, 19, 13, 21}));
    EXPECT_THAT(row_of(image, 20, 10, 13), ElementsAre(kBlue, kGreen, kRed));
    EXPECT_THAT(row_of(image, 19, 10, 13), ElementsAre(kBlack, kBlack, kBlack));
}

TEST_F(Playback, ImagesPartlyOffThePageKeepTheirVisiblePart) {
    Dib dib = make_dib(24, {{kRed, kGreen, kBlue}});
    // Twice as wide, starting 3 dots left of the page: the first visible
    // dot is the second half of green.
    Image left = printed([&](HDC dc) { stretch(dc, dib, -3, -1, 6, 2); });
    EXPECT_EQ(left.ink(), (RECT{0, 0, 3, 1}));
    EXPECT_THAT(row_of(left, 0, 0, 3), ElementsAre(kGreen, kBlue, kBlue));
    Image mirrored = printed([&](HDC dc) { stretch(dc, dib, 1, 47, -3, 3); });
    EXPECT_EQ(mirrored.ink(), (RECT{0, 47, 1, 48}));
    EXPECT_EQ(mirrored.at(0, 47), kRed) << "the left end shows the source's right end";
    EXPECT_EQ(printed([&](HDC dc) { stretch(dc, dib, 64, 0, 3, 1); }).ink(), (RECT{0, 0, 0, 0}));
    EXPECT_EQ(printed([&](HDC dc) { stretch(dc, dib, INT_MIN, INT_MIN, 3, 1); }).ink(), (RECT{0, 0, 0, 0}));
}

TEST_F(Playback, ASourceRectangleCountsRowsFromTheTop) {
    Dib dib = make_dib(24, {{kRed, kRed}, {kGreen, kBlue}, {kBlack, kBlack}});
    Image image = printed([&](HDC dc) { EXPECT_EQ(stretch(dc, dib, 0, 0, 1, 1, 1, 1, 1, 1), 1); });
    EXPECT_EQ(image.at(0, 0), kBlue);
    EXPECT_EQ(image.ink(), (RECT{0, 0, 1, 1}));
}

TEST_F(Playback, ThirtyTwoBitMasksAreReadWhereTheHeaderKeepsThem) {
    // A version-5 header (124 bytes) holds its masks inside itself.
    std::vector<BYTE> info(124, 0);
    BITMAPINFOHEADER header{124, 1, 1, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0};
    std::memcpy(info.data(), &header, sizeof(header));
    const DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};
    std::memcpy(info.data() + 40, masks, sizeof(masks));
    const BYTE pixel[4] = {0x00, 0x00, 0xFF, 0x00};
    Image image = printed([&](HDC dc) {
        EXPECT_EQ(StretchDIBits(dc, 2, 2, 1, 1, 0, 0, 1, 1, pixel, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                DIB_RGB_COLORS, SRCCOPY),
                  1);
    });
    EXPECT_EQ(image.at(2, 2), kRed);
}

TEST_F(Playback, UnusableImagesAreRefusedAndDrawNothing) {
    Dib dib = make_dib(24, {{kRed, kGreen}, {kBlue, kBlack}});
    Dib sixteen = dib;
    reinterpret_cast<BITMAPINFOHEADER*>(sixteen.info.data())->biBitCount = 16;
    Image image = printed([&](HDC dc) {
        struct Case {
            int sx, sy, sw, sh;
        };
        for (Case c : {Case{0, 0, 3, 2}, Case{1, 1, 2, 1}, Case{-1, 0, 1, 1}, Case{0, 0, 0, 1}, Case{0, 0, -2, 2}}) {
            SetLastError(qortest::kStaleError);
            EXPECT_EQ(stretch(dc, dib, 0, 0, 4, 4, c.sx, c.sy, c.sw, c.sh), 0) << c.sx << "," << c.sy;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
        EXPECT_EQ(stretch(dc, sixteen, 0, 0, 4, 4), 0);
        SetLastError(qortest::kStaleError);
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, dib.bits.data(), dib.header(), DIB_RGB_COLORS, 0x00EE0086),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, dib.header(), DIB_RGB_COLORS, SRCCOPY), 0);
    });
    EXPECT_EQ(image.ink(), (RECT{0, 0, 0, 0}));
    HDC dc = create_dc();
    EXPECT_EQ(stretch(dc, dib, 0, 0, 2, 2), 0) << "no page is open";
    EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
