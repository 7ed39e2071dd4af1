// Printing end to end: qorprint -> graphics engine -> QORKPDN5 -> QORCPDN7
// -> qorspoold -> model module -> QORLM2K -> COM1 -> qoremu, and what the
// emulator put on paper, read back from its ticket PNGs.
#include "e2e_fixture.h"

#include "qoremu/control_client.h"

namespace {

using namespace e2e;

using EndToEnd = PrintStack;

TEST_F(EndToEnd, ThresholdImageArrivesPixelForPixel) {
    // Gradients in all three channels and a dither-hostile fine pattern.
    const int height = 240;
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth * height * 3));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[static_cast<size_t>((y * kWidth + x) * 3)];
            p[0] = static_cast<uint8_t>(x * 255 / (kWidth - 1));
            p[1] = static_cast<uint8_t>((y * 7 + x * 3) % 256);
            p[2] = static_cast<uint8_t>(((x ^ y) & 8) ? 250 : 20);
            if (y > 200 && x < 40) p[0] = p[1] = p[2] = 255;  // white stays white
        }
    const std::string image = WriteRgbPng("pattern.png", kWidth, height, rgb);
    ASSERT_EQ(Print({"--paper", kPaper, "--dither", "threshold", "--cut", "full", "--brightness", "150", image}), 0);

    const Bitmap ticket = FirstTicket();
    ASSERT_GE(ticket.height, height);
    ASSERT_GE(ticket.width, kWidth);
    int mismatches = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < ticket.width; ++x) {
            bool expected = false;
            if (x < kWidth) {
                const uint8_t* p = &rgb[static_cast<size_t>((y * kWidth + x) * 3)];
                const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
                // The rendering driver's grey of blue, green, red, then the threshold.
                const int grey = white ? 255 : (21 * p[2] + 69 * p[1] + 10 * p[0]) / 100;
                expected = grey < 128;
            }
            if (ticket.ink(x, y) != expected && ++mismatches <= 5)
                ADD_FAILURE() << "dot " << x << "," << y << " should be " << (expected ? "black" : "white");
        }
    EXPECT_EQ(mismatches, 0);
    for (int y = height; y < ticket.height; ++y)
        for (int x = 0; x < ticket.width; ++x) ASSERT_FALSE(ticket.ink(x, y)) << "ink below the image at " << x << "," << y;
}

TEST_F(EndToEnd, DeviceFontTextArrivesAtItsPositions) {
    const std::string text = qortest::sandbox() + "/lines.txt";
    FILE* file = std::fopen(text.c_str(), "wb");
    std::fputs("A\n   B\n\nCD\n", file);
    std::fclose(file);
    ASSERT_EQ(Print({"--paper", kPaper, "--device-font", "24", "--mode", "standard", text}), 0);
    const Bitmap ticket = FirstTicket();
    ASSERT_GT(ticket.height, 0);
    // Lines every 30 dots, characters every 12; each character's ink lies
    // inside its 12 x 24 cell and nowhere else.
    struct Cell {
        int column, line;
    };
    const Cell cells[] = {{0, 0}, {3, 1}, {0, 3}, {1, 3}};
    auto inside = [&](int x, int y) {
        for (const Cell& c : cells)
            if (x >= c.column * 12 && x < c.column * 12 + 12 && y >= c.line * 30 - 2 && y < c.line * 30 + 26) return true;
        return false;
    };
    for (const Cell& c : cells) {
        int ink = 0;
        for (int y = std::max(0, c.line * 30 - 2); y < std::min(ticket.height, c.line * 30 + 26); ++y)
            for (int x = c.column * 12; x < c.column * 12 + 12; ++x) ink += ticket.ink(x, y);
        EXPECT_GT(ink, 10) << "no character in the cell of column " << c.column << ", line " << c.line;
    }
    for (int y = 0; y < ticket.height; ++y)
        for (int x = 0; x < ticket.width; ++x)
            if (ticket.ink(x, y)) {
                ASSERT_TRUE(inside(x, y)) << "stray ink at " << x << "," << y;
            }
}

TEST_F(EndToEnd, PageModeLandscapePageArrivesTurnedClockwise) {
    // Landscape on 58 x 100 mm: the page is drawn 800 wide and 432 high and
    // printed turned by 90 degrees clockwise in page mode.
    const int width = 800, height = kWidth;
    std::vector<uint8_t> rgb(static_cast<size_t>(width * height * 3), 255);
    auto square = [&](int left, int top, int size) {
        for (int y = top; y < top + size; ++y)
            for (int x = left; x < left + size; ++x)
                std::fill_n(&rgb[static_cast<size_t>((y * width + x) * 3)], 3, 0);
    };
    square(10, 20, 40);    // near the drawn page's top left
    square(700, 380, 30);  // near its bottom right
    const std::string image = WriteRgbPng("landscape.png", width, height, rgb);
    ASSERT_EQ(Print({"--paper", kPaper, "--orientation", "landscape", "--mode", "page", "--dither", "threshold",
                     image}),
              0);
    const Bitmap ticket = FirstTicket();
    ASSERT_GE(ticket.height, 730);
    // Drawn (x, y) lands on paper row x, dot 431 - y.
    auto expect_square = [&](int left, int top, int size) {
        for (int y = left; y < left + size; ++y)
            for (int x = kWidth - top - size; x < kWidth - top; ++x)
                ASSERT_TRUE(ticket.ink(x, y)) << "missing ink at " << x << "," << y;
    };
    expect_square(10, 20, 40);
    expect_square(700, 380, 30);
    int ink = 0;
    for (int y = 0; y < ticket.height; ++y)
        for (int x = 0; x < ticket.width; ++x) ink += ticket.ink(x, y);
    EXPECT_EQ(ink, 40 * 40 + 30 * 30);
}

TEST_F(EndToEnd, BadFilesAndPrintersAreRefusedBeforeAnythingPrints) {
    // Adding the printer asked it for its settings; nothing after that.
    const long before = Stat("rx-bytes");
    const std::string text = qortest::sandbox() + "/ok.txt";
    FILE* file = std::fopen(text.c_str(), "wb");
    std::fputs("hello\n", file);
    std::fclose(file);
    EXPECT_EQ(Print({text, qortest::sandbox() + "/missing.png"}), 2);
    qortest::Child unknown = qortest::Child::spawn("qorprint", {"-q", "-P", "No Such Printer", text});
    EXPECT_EQ(unknown.wait(std::chrono::seconds(30)), 2);
    EXPECT_EQ(Print({"--dither", "sideways", text}), 2);
    EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    std::vector<std::string> lines;
    ASSERT_TRUE(qoremu::control_command(control_, "stats", &lines));
    for (const std::string& line : lines)
        if (line.rfind("rx-bytes ", 0) == 0) {
            EXPECT_EQ(line, "rx-bytes " + std::to_string(before));
        }
}

}  // namespace
