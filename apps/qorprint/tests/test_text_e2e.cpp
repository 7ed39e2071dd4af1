// Text as users write it, through the whole stack: the printer's own font
// prints the characters of its table and the engine draws the others; a
// TrueType line without spaces wraps at the paper with every character.
#include "e2e_fixture.h"

#include "fonts.h"
#include "qoremu/control_client.h"

#include "common/printer_defaults.h"
#include "qor/spooler.h"

#include <cstdlib>

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

// The line's top row: where the printer's glyph of `first` starts the line.
int LineTop(const Bitmap& ticket, const qoremu::Glyph& first) {
    for (int dy = -2; dy <= 4; ++dy)
        if (Cell(ticket, 0, dy, first.width, first.height) == first.ink) return dy;
    return -100;
}

TEST_F(TextPrinting, DeviceFontPrintsTheTablesCharactersAndDrawsTheRestAsPixels) {
    const std::u16string line = u"Café crème — 3,50 € Zürich Straße";
    const std::string text = WriteFile("receipt.txt", "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x80\x94 3,50 \xE2\x82\xAC Z\xC3\xBCrich Stra\xC3\x9F" "e\n");
    ASSERT_EQ(Print({"--paper", kPaper, "--device-font", "24", "--mode", "standard", "--dither", "threshold", text}), 0);
    const Bitmap ticket = FirstTicket();
    ASSERT_GT(ticket.height, 24);

    qoremu::Fonts fonts;
    ASSERT_TRUE(fonts.available());
    const int top = LineTop(ticket, fonts.glyph(qoremu::FontId::Ank12x24, U'C'));
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

TEST_F(TextPrinting, DoubleByteDeviceTextPrintsFromThePrintersKanjiFont) {
    // A host whose code page is 932: the device mode asks for the double-byte table.
    const std::u16string line = u"日本語のテキスト";
    const std::string text = WriteFile("kanji.txt", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"
                                                    "\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88\n");
    setenv("QOR_ACP", "932", 1);
    const int status = Print({"--paper", kPaper, "--device-font", "24", "--mode", "standard", text});
    unsetenv("QOR_ACP");
    ASSERT_EQ(status, 0);
    const Bitmap ticket = FirstTicket();
    qoremu::Fonts fonts;
    const int top = LineTop(ticket, fonts.glyph(qoremu::FontId::Kanji24x24, line[0]));
    ASSERT_NE(top, -100) << "no printer kanji at the start of the line";
    for (size_t i = 0; i < line.size(); ++i)
        EXPECT_EQ(Cell(ticket, static_cast<int>(i) * 24, top, 24, 24), fonts.glyph(qoremu::FontId::Kanji24x24, line[i]).ink)
            << "character " << i << " is not the printer's";
    EXPECT_EQ(Stat("characters"), static_cast<long>(line.size()));
}

TEST_F(TextPrinting, KatakanaTableHoldsHalfWidthKanaButNotAccentedLetters) {
    // Switch the printer to its katakana table and add it again, as
    // qorctl add-printer would after the change.
    std::u16string name(printstack::kPrinter, printstack::kPrinter + std::char_traits<char>::length(printstack::kPrinter));
    PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(name.data(), &printer, &admin));
    std::u16string document = u"settings", type = u"RAW";
    DOC_INFO_1W info{document.data(), nullptr, type.data()};
    ASSERT_NE(StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info)), 0u);
    BYTE katakana[] = {0x12, 0x6B, 0x38, 0x07, 0x00, 0xC8};  // DC2 k: character font 1
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(printer, katakana, sizeof katakana, &written));
    ASSERT_TRUE(EndDocPrinter(printer));
    ASSERT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    std::string report;
    ASSERT_TRUE(qortest::eventually([&] { return qor::defaults::install(printer, &report); }, std::chrono::seconds(10)))
        << report;
    ClosePrinter(printer);

    const std::u16string line = u"ｶﾀｶﾅ é";
    const std::string text = WriteFile("kana.txt", "\xEF\xBD\xB6\xEF\xBE\x80\xEF\xBD\xB6\xEF\xBE\x85 \xC3\xA9\n");
    ASSERT_EQ(Print({"--paper", kPaper, "--device-font", "24", "--mode", "standard", text}), 0);
    const Bitmap ticket = FirstTicket();
    qoremu::Fonts fonts;
    const int top = LineTop(ticket, fonts.glyph(qoremu::FontId::Ank12x24, line[0]));
    ASSERT_NE(top, -100) << "no printer kana at the start of the line";
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Cell(ticket, static_cast<int>(i) * 12, top, 12, 24), fonts.glyph(qoremu::FontId::Ank12x24, line[i]).ink)
            << "kana " << i << " is not the printer's";
    // é is not in the katakana table: drawn as pixels, not the printer's box.
    const std::vector<uint8_t> accented = Cell(ticket, 5 * 12, top, 12, 24);
    EXPECT_GT(InkOf(accented), 10);
    EXPECT_NE(accented, qoremu::box_glyph(12, 24).ink);
    EXPECT_EQ(Stat("characters"), 4);
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
        if (i + 1 < per_line.size()) {
            EXPECT_EQ(per_line[i], per_line[0]) << "line " << i << " is not full";
        }
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
