// Text as users write it, through the whole stack: the printer's own font
// prints the characters of its table and the engine draws the others; a
// TrueType line without spaces wraps at the paper with every character.
#include "e2e_fixture.h"

#include "fonts.h"

namespace {

using namespace e2e;

using TextPrinting = PrintStack;

// Ink of the ticket's cell at (left, top), `width` x `height`, as the
// emulator's glyph layout: 1 = ink, row by row.
std::vector<uint8_t> Cell(const Bitmap& ticket, int left, int top, int width, int height) {
    std::vector<uint8_t> ink;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            ink.push_back(x >= 0 && y >= 0 && x < ticket.width && y < ticket.height && ticket.ink(x, y) ? 1 : 0);
    return ink;
}

int InkOf(const std::vector<uint8_t>& cell) {
    int ink = 0;
    for (uint8_t dot : cell) ink += dot;
    return ink;
}

TEST_F(TextPrinting, DeviceFontPrintsTheTablesCharactersAndDrawsTheRestAsPixels) {
    const std::u16string line = u"Café crème — 3,50 € Zürich Straße";
    const std::string text = WriteFile("receipt.txt", "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x80\x94 3,50 \xE2\x82\xAC Z\xC3\xBCrich Stra\xC3\x9F" "e\n");
    ASSERT_EQ(Print({"--paper", kPaper, "--device-font", "24", "--mode", "standard", "--dither", "threshold", text}), 0);
    const Bitmap ticket = FirstTicket();
    ASSERT_GT(ticket.height, 24);

    qoremu::Fonts fonts;
    ASSERT_TRUE(fonts.available());
    // The line's top row: where the first character matches the printer's C.
    const qoremu::Glyph& c = fonts.glyph(qoremu::FontId::Ank12x24, U'C');
    int top = -100;
    for (int dy = -2; dy <= 4 && top == -100; ++dy)
        if (Cell(ticket, 0, dy, 12, 24) == c.ink) top = dy;
    ASSERT_NE(top, -100) << "no printer C at the start of the line";

    int printed = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char16_t ch = line[i];
        const std::vector<uint8_t> cell = Cell(ticket, static_cast<int>(i) * 12, top, 12, 24);
        if (ch == u' ') {
            EXPECT_EQ(InkOf(cell), 0) << "ink in the space at " << i;
        } else if (ch == u'€' || ch == u'—') {
            // Not in the printer's table: pixels, neither a box nor the
            // character the host's byte would have been (Ç and ù).
            EXPECT_GT(InkOf(cell), 10) << "nothing drawn for character " << i;
            EXPECT_NE(cell, qoremu::box_glyph(12, 24).ink) << i;
            EXPECT_NE(cell, fonts.glyph(qoremu::FontId::Ank12x24, ch == u'€' ? U'Ç' : U'ù').ink) << i;
        } else {
            // The printer's own glyph: é è ü ß from its graphics table.
            ++printed;
            EXPECT_EQ(cell, fonts.glyph(qoremu::FontId::Ank12x24, ch).ink)
                << "character " << i << " (U+" << std::hex << int(ch) << ") is not the printer's";
        }
    }
    EXPECT_EQ(Stat("characters"), printed);
}

// Runs of ink columns in rows [top, bottom): one per glyph whose ink is
// one connected span across, as the boxes of these ideographs are.
int InkRuns(const Bitmap& ticket, int top, int bottom) {
    int runs = 0;
    bool inside = false;
    for (int x = 0; x < ticket.width; ++x) {
        bool ink = false;
        for (int y = top; y < bottom && y < ticket.height && !ink; ++y) ink = ticket.ink(x, y);
        if (ink && !inside) ++runs;
        inside = ink;
    }
    return runs;
}

TEST_F(TextPrinting, JapaneseLineInTheDefaultFaceWrapsWithEveryCharacter) {
    const char* kanji[] = {"\xE6\x97\xA5", "\xE7\x94\xB0", "\xE5\x8F\xA3", "\xE7\x9B\xAE",
                           "\xE7\x99\xBD", "\xE4\xB8\xAD", "\xE5\x9B\x9B"};  // 日田口目白中四
    constexpr int kCharacters = 40;
    std::string line;
    for (int i = 0; i < kCharacters; ++i) line += kanji[i % 7];
    const std::string text = WriteFile("japanese.txt", line + "\n");
    ASSERT_EQ(Print({"--paper", kPaper, "--device-font", "none", "--text-height", "24", "--dither", "threshold", text}),
              0);
    const Bitmap ticket = FirstTicket();
    constexpr int kLineHeight = 30;  // 24 dots and a quarter between lines
    std::vector<int> per_line;
    for (int top = 0; top + kLineHeight <= ticket.height + kLineHeight; top += kLineHeight) {
        const int runs = InkRuns(ticket, top, top + kLineHeight);
        if (runs == 0) break;
        per_line.push_back(runs);
    }
    ASSERT_GE(per_line.size(), 2u) << "the line did not wrap";
    int total = 0;
    for (size_t i = 0; i < per_line.size(); ++i) {
        total += per_line[i];
        if (i + 1 < per_line.size()) EXPECT_EQ(per_line[i], per_line[0]) << "line " << i << " is not full";
    }
    EXPECT_EQ(total, kCharacters);
    // No glyph crosses the printable edge.
    for (int y = 0; y < ticket.height; ++y)
        for (int x = kWidth; x < ticket.width; ++x) ASSERT_FALSE(ticket.ink(x, y)) << x << "," << y;
}

TEST_F(TextPrinting, UnknownFaceIsReported) {
    const std::string text = WriteFile("hello.txt", "hello\n");
    const Outcome run = RunQorprint({"-q", "-P", printstack::kPrinter, "--device-font", "none", "--face",
                                     "NoSuchFont", text});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find("NoSuchFont"), std::string::npos) << run.errors;
    EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    EXPECT_EQ(Stat("raster-rows"), 0);
}

}  // namespace
