// Tickets compared dot for dot with images drawn here by hand.
#include "fixture.h"

namespace emutest {
namespace {

constexpr int kWidth58 = 464;
const Bytes kInit = {0x1B, 0x40};
const Bytes kCut = {0x1D, 0x56, 0x00};
// Character font "option": every single-byte code from 80 up prints as a box.
const Bytes kBoxFont = {0x12, 0x6B, 0x58, 0x07, 0x00, 0xC8};

Bytes raster(int x_bytes, const std::vector<Bytes>& rows, int mode = 0) {
    Bytes b = {0x1D, 0x76, 0x30, uint8_t(mode)};
    b = b + le16(x_bytes) + le16(int(rows.size()));
    for (const auto& r : rows) b = b + r;
    return b;
}
Bytes position(int x) { return Bytes{0x1B, 0x24} + le16(x); }
Bytes feed(int n) { return {0x1B, 0x4A, uint8_t(n)}; }
Bytes marker() { return raster(58, {Bytes(58, 0xFF)}); }

class EmuGolden : public EmulatorTest {};

TEST_F(EmuGolden, RasterBlockAtHorizontalPosition) {
    std::vector<Bytes> rows = {{0xA5, 0xFF, 0x81}, {0x00, 0x18, 0x01}, {0xF0, 0x0F, 0x80}};
    send(kInit + position(40) + raster(3, rows) + feed(10) + position(13) + raster(3, rows) +
         position(460) + raster(2, {{0xFF, 0xFF}}) + Bytes{0x1D, 0x4C} + le16(100) + position(8) +
         raster(1, {{0xC3}}, 3) + kCut);
    Image expected(kWidth58, 3 + 10 + 3 + 1 + 2);
    for (int r = 0; r < 3; ++r) expected.raster(40, r, rows[size_t(r)]);
    for (int r = 0; r < 3; ++r) expected.raster(13, 13 + r, rows[size_t(r)]);  // not byte aligned
    expected.raster(460, 16, {0xF0});                                           // clipped at the paper's edge
    for (int dy = 0; dy < 2; ++dy)                                               // margin + position, doubled
        expected.raster(108, 17 + dy, {0xF0, 0x0F});
    EXPECT_EQ(compare(ticket(1), expected), "");
}

TEST_F(EmuGolden, RunOfFeeds) {
    send(kInit + marker() + feed(20) + marker() + Bytes{0x0A} + marker() + Bytes{0x1B, 0x64, 0x02} + marker() +
         Bytes{0x1B, 0x33, 0x0A, 0x0A} + marker() + feed(255) + feed(255) + marker() +
         Bytes{0x1D, 0x50, 0x1D, 0x1D} + feed(10) + marker() + kCut);
    // LF feeds the line spacing (1/6 inch = 33 dots), ESC d 2 twice that,
    // ESC 3 sets it; GS P 29 makes the unit of ESC J 7 dots.
    const int rows[] = {0, 21, 55, 122, 133, 644, 715};
    Image expected(kWidth58, 716);
    for (int y : rows) expected.raster(0, y, Bytes(58, 0xFF));
    EXPECT_EQ(compare(ticket(1), expected), "");
}

TEST_F(EmuGolden, CutMakesTwoTickets) {
    send(kInit + position(8) + raster(1, {{0xFF}, {0x81}}) + feed(5) + kCut + kCut +  // second cut: no paper
         position(16) + raster(2, {{0x0F, 0xF0}}) + Bytes{0x1D, 0x56, 0x01});
    Image first(kWidth58, 7);
    first.raster(8, 0, {0xFF});
    first.raster(8, 1, {0x81});
    Image second(kWidth58, 1);
    second.raster(16, 0, {0x0F, 0xF0});
    EXPECT_EQ(compare(ticket(1), first), "");
    EXPECT_EQ(compare(ticket(2), second), "");
    sync();
    EXPECT_EQ(stat("tickets"), "2");
}

TEST_F(EmuGolden, WidePaperModelPrintsOn112mm) {
    stop();
    qoremu::EmulatorOptions options;
    options.model = "D610x";
    start(options);
    send(kInit + position(880) + raster(2, {{0xFF, 0xFF}}) + kCut);
    Image expected(896, 1);
    expected.raster(880, 0, {0xFF, 0xFF});
    EXPECT_EQ(compare(ticket(1), expected), "");
}

// Each character cell holds ink only inside itself; boxes are exact.
void expect_cells(const Image& image, int top, int height, const std::vector<std::pair<int, int>>& cells,
                  const std::vector<bool>& is_box) {
    for (size_t i = 0; i < cells.size(); ++i) {
        auto [x, w] = cells[i];
        SCOPED_TRACE("cell " + std::to_string(i));
        if (is_box[i]) {
            Image box(w, height);
            box.box(0, 0, w, height);
            for (int y = 0; y < height; ++y)
                for (int dx = 0; dx < w; ++dx) ASSERT_EQ(image.at(x + dx, top + y), box.at(dx, y)) << dx << "," << y;
        } else {
            int l, t, r, b;
            ASSERT_TRUE(image.ink_bounds(x, top, x + w, top + height, &l, &t, &r, &b)) << "blank cell";
            EXPECT_GT(image.ink_count(x, top, x + w, top + height), 10);
        }
    }
    int end = cells.back().first + cells.back().second;
    EXPECT_EQ(image.ink_count(end, top, image.width, top + height), 0) << "ink after the last cell";
}

TEST_F(EmuGolden, SingleByteText24And16) {
    send(kBoxFont + kInit + text("A") + Bytes{0x80} + text("Bg") + Bytes{0x0A} + Bytes{0x1B, 0x21, 0x01} +
         text("A") + Bytes{0x80} + text("Bg") + Bytes{0x0A} + kCut);
    Image t = ticket(1);
    ASSERT_EQ(t.width, kWidth58);
    ASSERT_EQ(t.height, 33 + 33);
    expect_cells(t, 0, 24, {{0, 12}, {12, 12}, {24, 12}, {36, 12}}, {false, true, false, false});
    expect_cells(t, 33, 16, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}, {false, true, false, false});
    EXPECT_EQ(t.ink_count(0, 24, kWidth58, 33), 0);
}

TEST_F(EmuGolden, DoubleByteText24And16) {
    // 88 EA is U+4E00, 8A BF U+6F22; 85 40 is unassigned in Shift-JIS.
    send(kInit + Bytes{0x1C, 0x43, 0x01, 0x1C, 0x26, 0x88, 0xEA, 0x85, 0x40, 0x8A, 0xBF} + text("A") +
         Bytes{0x0A, 0x1C, 0x21, 0x01, 0x1B, 0x21, 0x01, 0x88, 0xEA, 0x85, 0x40, 0x8A, 0xBF} + text("A") +
         Bytes{0x1C, 0x2E, 0x0A} + kCut);
    Image t = ticket(1);
    ASSERT_EQ(t.height, 66);
    // In kanji mode a single byte prints half width from the ANK font.
    expect_cells(t, 0, 24, {{0, 24}, {24, 24}, {48, 24}, {72, 12}}, {false, true, false, false});
    expect_cells(t, 33, 16, {{0, 16}, {16, 16}, {32, 16}, {48, 8}}, {false, true, false, false});
}

TEST_F(EmuGolden, MixedHeightsShareTheBottomLine) {
    send(kBoxFont + kInit + Bytes{0x80, 0x1B, 0x21, 0x01, 0x80, 0x0A} + kCut);
    Image expected(kWidth58, 33);
    expected.box(0, 0, 12, 24);
    expected.box(12, 8, 8, 16);
    EXPECT_EQ(compare(ticket(1), expected), "");
}

// Page mode: area at (100, 50), 24-dot boxes with baseline 30 at 10 dots
// along the print direction.
Bytes page_text(int direction, int dx, int dy, const Bytes& chars) {
    return kBoxFont + kInit + Bytes{0x1B, 0x4C, 0x1B, 0x54, uint8_t(direction), 0x1B, 0x57} + le16(100) + le16(50) +
           le16(dx) + le16(dy) + Bytes{0x1D, 0x24} + le16(30) + position(10) + chars + Bytes{0x1B, 0x0C} + kCut +
           Bytes{0x1B, 0x53};
}

TEST_F(EmuGolden, PageModeTextLeftToRight) {
    send(page_text(0, 200, 100, {0x80, 0x80}));
    Image expected(kWidth58, 150);  // the page is as long as its area reaches
    expected.box(110, 56, 12, 24);
    expected.box(122, 56, 12, 24);
    EXPECT_EQ(compare(ticket(1), expected), "");
}

TEST_F(EmuGolden, PageModeTextTopToBottom) {
    send(page_text(3, 100, 200, {0x80, 0x80}));
    // Turned a quarter clockwise: the print direction runs down the paper
    // from the area's upper right corner, character tops face right.
    Image cell(12, 24);
    cell.box(0, 0, 12, 24);
    Image expected(kWidth58, 250);
    for (int k = 0; k < 2; ++k)
        for (int gy = 0; gy < 24; ++gy)
            for (int gx = 0; gx < 12; ++gx)
                if (cell.at(gx, gy)) expected.set(100 + 100 - 1 - (6 + gy), 50 + 10 + 12 * k + gx);
    EXPECT_EQ(compare(ticket(1), expected), "");
}

TEST_F(EmuGolden, PageModeLettersStayInTheirTurnedCells) {
    send(page_text(3, 100, 200, text("AB")) + page_text(0, 200, 100, text("AB")));
    Image turned = ticket(1);
    int l, t, r, b;
    ASSERT_TRUE(turned.ink_bounds(0, 0, turned.width, turned.height, &l, &t, &r, &b));
    EXPECT_GE(l, 170);  // columns 170..193 hold the 24-dot cells
    EXPECT_LE(r, 193);
    EXPECT_GE(t, 60);
    EXPECT_LE(b, 83);
    Image upright = ticket(2);
    ASSERT_TRUE(upright.ink_bounds(0, 0, upright.width, upright.height, &l, &t, &r, &b));
    EXPECT_GE(l, 110);
    EXPECT_LE(r, 133);
    EXPECT_GE(t, 56);
    EXPECT_LE(b, 79);
}

TEST_F(EmuGolden, PageModeRasterBlocksInTheirAreas) {
    // What the spooler-side driver sends for a page-mode band: an area per
    // block, then the block drawn from the area's top.
    Bytes job = kInit + Bytes{0x1B, 0x4C, 0x12, 0x4F, 0x00, 0x1B, 0x54, 0x00};
    job = job + Bytes{0x1B, 0x57} + le16(16) + le16(5) + le16(16) + le16(2) + raster(2, {{0xFF, 0x01}, {0x80, 0xFF}});
    job = job + Bytes{0x1B, 0x57} + le16(64) + le16(40) + le16(8) + le16(1) + raster(1, {{0xAA}});
    job = job + Bytes{0x1B, 0x0C} + kCut + Bytes{0x1B, 0x53};
    send(job);
    Image expected(kWidth58, 41);
    expected.raster(16, 5, {0xFF, 0x01});
    expected.raster(16, 6, {0x80, 0xFF});
    expected.raster(64, 40, {0xAA});
    EXPECT_EQ(compare(ticket(1), expected), "");
}

}  // namespace
}  // namespace emutest
