// What is refused as junk before a job starts, and lines broken by the
// Unicode rules at a measured width.
#include "input_check.h"
#include "line_breaker.h"

#include <gtest/gtest.h>

namespace {

TEST(InputCheck, TextIsUtf8OrTheAnsiCodePageAndNothingElse) {
    std::string utf8, why;
    EXPECT_TRUE(CheckText("Caf\xC3\xA9\tok\r\n\f", &utf8, &why));
    EXPECT_EQ(utf8, "Caf\xC3\xA9\tok\r\n\f");
    EXPECT_TRUE(CheckText("Caf\xE9 cr\xE8me \x80", &utf8, &why));  // code page 1252
    EXPECT_EQ(utf8, "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC");
    EXPECT_FALSE(CheckText(std::string("ELF\0\x01", 5), &utf8, &why));
    EXPECT_NE(why.find("NUL"), std::string::npos) << why;
    EXPECT_FALSE(CheckText("text \x1B[1m bold", &utf8, &why));
    EXPECT_NE(why.find("control"), std::string::npos) << why;
    // Bytes 1252 reads as C1 control codes.
    EXPECT_FALSE(CheckText("ok \x81\x8D\x8F", &utf8, &why));
    EXPECT_NE(why.find("control"), std::string::npos) << why;
}

TEST(InputCheck, NamesThatPromisePictures) {
    EXPECT_EQ(KindByName("a/photo.JPG"), FileKind::Jpeg);
    EXPECT_EQ(KindByName("photo.jpeg"), FileKind::Jpeg);
    EXPECT_EQ(KindByName("x.png"), FileKind::Png);
    EXPECT_FALSE(KindByName("notes.txt"));
    EXPECT_FALSE(KindByName("dir.png/file"));
    EXPECT_FALSE(KindByName("png"));
}

long Columns(std::u16string_view piece) { return static_cast<long>(piece.size()); }

TEST(LineBreaker, IdeographsBreakAnywhereButNotBeforeClosingMarks) {
    EXPECT_EQ(BreakLine(u"日本語です", 2, Columns), (std::vector<std::u16string>{u"日本", u"語で", u"す"}));
    // A full stop may not begin a line: it takes the character before it along.
    EXPECT_EQ(BreakLine(u"日本。", 2, Columns), (std::vector<std::u16string>{u"日", u"本。"}));
}

TEST(LineBreaker, MeasuredWidthsDecideAndNothingIsLost) {
    // Wide characters count 2, others 1.
    const MeasureText measure = [](std::u16string_view piece) {
        long width = 0;
        for (char16_t c : piece) width += c >= 0x1100 ? 2 : 1;
        return width;
    };
    const std::u16string line = u"Total 合計 1,200円 paid";
    const auto pieces = BreakLine(line, 8, measure);
    std::u16string joined;
    for (const auto& piece : pieces) {
        EXPECT_LE(measure(piece), 8) << std::string(piece.begin(), piece.end());
        joined += piece;
    }
    std::u16string without_spaces;
    for (char16_t c : line)
        if (c != u' ') without_spaces += c;
    std::u16string joined_without;
    for (char16_t c : joined)
        if (c != u' ') joined_without += c;
    EXPECT_EQ(joined_without, without_spaces);
    EXPECT_EQ(pieces.front(), u"Total 合");  // a break between ideographs
}

}  // namespace
