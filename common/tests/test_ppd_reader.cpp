// The description reader's rules, on text in memory.
#include "test_ppd_support.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

using ppdtest::Parse;
using ppdtest::Wide;

namespace {

std::u16string Str(const WCHAR* text) {
    return std::u16string(text);
}

TEST(PpdReader, NumberKeysFillTheirFields) {
    // Every number key with a distinct value, read back from its own field.
    auto b = Parse(
        "Show=4095\r\nDefPaper=768\r\nDefUserPaper=4\r\nDefOrient=2\r\nDefKind=1\r\n"
        "DefBin=8\r\nDefDither=3\r\nDefQuality=1\r\nDefBright=150\r\nDefDensity=6\r\n"
        "DefFont=2\r\nDefCut=1\r\nDefMode=1\r\nDefResv01=101\r\nDefResv02=102\r\n"
        "DefResv03=103\r\nDefResv04=104\r\nDefResv05=105\r\nDefResv06=106\r\n"
        "DefResv07=107\r\nDefResv08=108\r\nDefResv09=109\r\nDefResv10=110\r\n"
        "MINBright=50\r\nMAXBright=250\r\nVALBright=10\r\nMINDensity=0\r\n"
        "MAXDensity=7\r\nVALDensity=1\r\nMINUserDef=50\r\nMAXUserDef=999\r\n"
        "MAXMemory=191861\r\nName=\"QORCPDN7.DLL\"\r\nUIName=\"QORCPUN7.DLL\"\r\n");
    const PpdData& d = b->data;
    EXPECT_EQ(d.Show, 4095u);
    EXPECT_EQ(d.DefPaper, 768);
    EXPECT_EQ(d.DefUserPaper, 4);
    EXPECT_EQ(d.DefOrient, 2);
    EXPECT_EQ(d.DefKind, 1);
    EXPECT_EQ(d.DefBin, 8);
    EXPECT_EQ(d.DefDither, 3);
    EXPECT_EQ(d.DefQuality, 1);
    EXPECT_EQ(d.DefBright, 150);
    EXPECT_EQ(d.DefDensity, 6);
    EXPECT_EQ(d.DefFont, 2);
    EXPECT_EQ(d.DefCut, 1);
    EXPECT_EQ(d.DefMode, 1);
    const DWORD resv[] = {d.DefResv01, d.DefResv02, d.DefResv03, d.DefResv04, d.DefResv05,
                          d.DefResv06, d.DefResv07, d.DefResv08, d.DefResv09, d.DefResv10};
    for (int i = 0; i < 10; i++) EXPECT_EQ(resv[i], 101u + i) << "DefResv" << i + 1;
    EXPECT_EQ(d.MINBright, 50);
    EXPECT_EQ(d.MAXBright, 250);
    EXPECT_EQ(d.VALBright, 10);
    EXPECT_EQ(d.MINDensity, 0);
    EXPECT_EQ(d.MAXDensity, 7);
    EXPECT_EQ(d.VALDensity, 1);
    EXPECT_EQ(d.MINUserDef, 50);
    EXPECT_EQ(d.MAXUserDef, 999);
    EXPECT_EQ(d.MAXMemory, 191861u);
    EXPECT_EQ(Str(d.Name), u"QORCPDN7.DLL");
    EXPECT_EQ(Str(d.UIName), u"QORCPUN7.DLL");
    EXPECT_EQ(d.Reserved, 0);
}

TEST(PpdReader, NarrowFieldsKeepLowBitsAndSignsCarry) {
    auto b = Parse(
        "DefKind=257\r\nDefPaper=70000\r\nDefDither=-2\r\nShow=-1\r\n"
        "MAXMemory=99999999999\r\n");
    EXPECT_EQ(b->data.DefKind, 1);
    EXPECT_EQ(static_cast<WORD>(b->data.DefPaper), 70000 & 0xFFFF);
    EXPECT_EQ(b->data.DefDither, -2);
    EXPECT_EQ(b->data.Show, 0xFFFFFFFFu);
    // Beyond 32 bits the digits wrap, as the low bits of the number.
    EXPECT_EQ(b->data.MAXMemory, static_cast<DWORD>(99999999999ull & 0xFFFFFFFFu));
}

TEST(PpdReader, ValuesWithoutDigitsReadZeroAndRepeatsKeepTheLast) {
    auto b = Parse("DefBright=150\r\nDefCut=2\r\nDefCut=1\r\nDefBright=\r\nDefMode= 1\r\n");
    EXPECT_EQ(b->data.DefBright, 0);
    EXPECT_EQ(b->data.DefCut, 1);
    EXPECT_EQ(b->data.DefMode, 0);  // a space before the digits reads as no number
    EXPECT_EQ(b->data.DefFont, 0);  // never given
}

TEST(PpdReader, KeyWordRules) {
    auto b = Parse(
        "Def:Paper=300\r\n"      // a colon inside a key is dropped
        " DefBright=9\r\n"       // a key must start in the first column
        "defcut=2\r\n"           // keys are case-sensitive
        "DefFont\r\n"            // no '=': not a key
        ";DefMode=1\r\n"         // a comment
        "DefQuality=1 ; note\r\n");
    EXPECT_EQ(b->data.DefPaper, 300);
    EXPECT_EQ(b->data.DefBright, 0);
    EXPECT_EQ(b->data.DefCut, 0);
    EXPECT_EQ(b->data.DefMode, 0);
    EXPECT_EQ(b->data.DefQuality, 1);
}

TEST(PpdReader, PaperEntryFillsMetrixInFieldOrder) {
    auto b = Parse(
        "NumPaper=2\r\n"
        "300;\"Ticket 80 mm\";80;297;72;297;4;640;2376;576;2376;32;31;3;12;2\r\n"
        "301;\"Spaced\";80;297 72;297;0;640\r\n");
    ASSERT_EQ(b->data.NumPaper, 2);
    const PaperMetrix& p = b->paper[0];
    EXPECT_EQ(p.Code, 300);
    EXPECT_EQ(Str(p.Name), u"Ticket 80 mm");
    const LONG expected[14] = {80, 297, 72, 297, 4, 640, 2376, 576, 2376, 32, 31, 3, 12, 2};
    const LONG actual[14] = {p.PaperWidth, p.PaperLength, p.AreaWidthMM, p.AreaLengthMM,
                             p.Value4, p.PhysWidth, p.PhysLength, p.AreaWidth,
                             p.AreaLength, p.OffsetX, p.OffsetYLandscape, p.OffsetY,
                             p.Value12, p.Feed};
    for (int i = 0; i < 14; i++) EXPECT_EQ(actual[i], expected[i]) << "value " << i;

    // A space instead of a semicolon: that value and every later one read 0.
    const PaperMetrix& s = b->paper[1];
    EXPECT_EQ(s.Code, 301);
    EXPECT_EQ(s.PaperWidth, 80);
    EXPECT_EQ(s.PaperLength, 297);
    EXPECT_EQ(s.AreaWidthMM, 0);
    EXPECT_EQ(s.PhysWidth, 0);
    EXPECT_EQ(s.Feed, 0);
}

TEST(PpdReader, MinusInsideListReadsAsZeroThenNegative) {
    auto b = Parse("NumPaper=1\r\n300;\"N\";1;-5;7\r\n");
    EXPECT_EQ(b->paper[0].PaperWidth, 1);
    EXPECT_EQ(b->paper[0].PaperLength, 0);
    EXPECT_EQ(b->paper[0].AreaWidthMM, -5);
    EXPECT_EQ(b->paper[0].AreaLengthMM, 7);
}

TEST(PpdReader, TablesTakeEveryFollowingLine) {
    auto b = Parse(
        "NumBin=2\r\n"
        "\r\n"                       // blank: an entry with no name and value 0
        "DefBright=9\r\n"            // inside the table: an entry, not a key
        "\"Roll\";1\r\n"              // after the table: ignored line
        "NumKind=1\r\n\"Black mark paper\";1\r\n");
    ASSERT_EQ(b->data.NumBin, 2);
    EXPECT_EQ(Str(b->bin[0].Name), u"");
    EXPECT_EQ(b->bin[0].Value, 0);
    EXPECT_EQ(Str(b->bin[1].Name), u"");
    EXPECT_EQ(b->bin[1].Value, 0);
    EXPECT_EQ(b->data.DefBright, 0);
    ASSERT_EQ(b->data.NumKind, 1);
    EXPECT_EQ(Str(b->kind[0].Name), u"Black mark paper");
    EXPECT_EQ(b->kind[0].Value, 1);
}

TEST(PpdReader, CountsNeverExceedCapacityOrTheLinesPresent) {
    std::string text = "NumBin=8\r\n";
    for (int i = 0; i < 7; i++) text += "\"Bin " + std::to_string(i) + "\";" + std::to_string(i) + "\r\n";
    text += "DefCut=2\r\n";  // eighth line: an entry beyond the room, not a key
    text += "DefBright=7\r\n";
    text += "NumPaper=0\r\nDefMode=1\r\n";
    text += "NumUserDef=-3\r\nDefFont=2\r\n";
    text += "NumKind=5\r\n\"Only\";2\r\n";  // the file ends early
    auto b = Parse(text);
    EXPECT_EQ(b->data.NumBin, PPD_MAX_BIN);
    EXPECT_EQ(Str(b->bin[4].Name), u"Bin 4");
    EXPECT_EQ(b->data.DefCut, 0);
    EXPECT_EQ(b->data.DefBright, 7);
    EXPECT_EQ(b->data.NumPaper, 0);
    EXPECT_EQ(b->data.DefMode, 1);     // a count of 0 reads no entries
    EXPECT_EQ(b->data.NumUserDef, 0);  // a negative count reads none either
    EXPECT_EQ(b->data.DefFont, 2);
    EXPECT_EQ(b->data.NumKind, 1);
}

TEST(PpdReader, PaperTableStopsAtThirty) {
    std::string text = "NumPaper=40\r\n";
    for (int i = 0; i < 40; i++) text += std::to_string(300 + i) + ";\"P\";80\r\n";
    text += "DefPaper=301\r\n";
    auto b = Parse(text);
    EXPECT_EQ(b->data.NumPaper, PPD_MAX_PAPER);
    EXPECT_EQ(b->paper[PPD_MAX_PAPER - 1].Code, 300 + PPD_MAX_PAPER - 1);
    EXPECT_EQ(b->userdef[0].Code, 0);  // the next table is untouched
    EXPECT_EQ(b->data.DefPaper, 301);
}

TEST(PpdReader, MissingTablesReadOverTheirEntries) {
    PpdData data{};
    std::string text = "NumPaper=1\r\nDefBright=5\r\nNumBin=1\r\n\"Roll\";1\r\nDefCut=1\r\n";
    ASSERT_TRUE(PPD_Parse(&data, text.data(), static_cast<DWORD>(text.size())));
    EXPECT_EQ(data.NumPaper, 0);
    EXPECT_EQ(data.NumBin, 0);
    EXPECT_EQ(data.DefBright, 0);
    EXPECT_EQ(data.DefCut, 1);
}

TEST(PpdReader, QuotedTextLimits) {
    std::string longName(100, 'N');
    auto b = Parse(
        "Name=\"" + std::string(40, 'm') + "\"\r\n"
        "UIName=\"" + std::string(40, 'u') + "\"\r\n"
        "NumPaper=3\r\n"
        "300;\"" + longName + "\";80\r\n"
        "301;\"Open to the end;81\r\n"  // no closing quote: text runs to the line end
        "302;no quotes;82\r\n"          // no quote at all: empty text
        "NumKind=1\r\n\"" + std::string(30, 'k') + "\";2\r\n");
    EXPECT_EQ(Str(b->data.Name), Wide(std::string(PPD_NAME_CHARS - 1, 'm')));
    EXPECT_EQ(Str(b->data.UIName), Wide(std::string(PPD_UINAME_CHARS - 1, 'u')));
    EXPECT_EQ(Str(b->paper[0].Name), Wide(std::string(PPD_MAX_TEXT, 'N')));
    EXPECT_EQ(b->paper[0].PaperWidth, 80);
    EXPECT_EQ(Str(b->paper[1].Name), u"Open to the end;81");
    EXPECT_EQ(b->paper[1].PaperWidth, 0);
    EXPECT_EQ(Str(b->paper[2].Name), u"");
    EXPECT_EQ(b->paper[2].PaperWidth, 0);
    EXPECT_EQ(Str(b->kind[0].Name), Wide(std::string(PPD_ENTRY_NAME_CHARS - 1, 'k')));
    EXPECT_EQ(b->kind[0].Value, 2);
}

TEST(PpdReader, TextIsConvertedFromTheAnsiCodePage) {
    // Code page 1252: 0xE9 is e acute, 0x80 the euro sign.
    auto b = Parse("UIName=\"Caf\xE9 \x80\"\r\n");
    EXPECT_EQ(Str(b->data.UIName), u"Caf\u00E9 \u20AC");
}

TEST(PpdReader, TextLimitNeverSplitsADoubleByteCharacter) {
    // Shift-JIS 0x82 0xA0 is hiragana A (U+3042).
    setenv("QOR_ACP", "932", 1);
    auto b = Parse(
        "NumPaper=2\r\n"
        "300;\"" + std::string(61, 'a') + "\x82\xA0\";80\r\n"  // 63 bytes: all kept
        "301;\"" + std::string(62, 'a') + "\x82\xA0\";80\r\n"); // 64: the pair is dropped
    unsetenv("QOR_ACP");
    EXPECT_EQ(Str(b->paper[0].Name), Wide(std::string(61, 'a')) + u"\u3042");
    EXPECT_EQ(Str(b->paper[1].Name), Wide(std::string(62, 'a')));
    EXPECT_EQ(b->paper[1].PaperWidth, 80);
}

TEST(PpdReader, LongLinesAreCutAndTheirTailIsNotAKey) {
    std::string filler(200, 'x');
    auto b = Parse(
        "Name=\"" + filler + "\"\r\n" +
        std::string(PPD_MAX_LINE, ';') + "DefMode=1\r\n" +  // the key lies past byte 159
        "DefCut=2\r\n");
    EXPECT_EQ(Str(b->data.Name), Wide(std::string(PPD_NAME_CHARS - 1, 'x')));
    EXPECT_EQ(b->data.DefMode, 0);
    EXPECT_EQ(b->data.DefCut, 2);
}

TEST(PpdReader, LineEnds) {
    // Last line without an end, lone LF and lone CR ends are all lines.
    auto b = Parse("DefCut=1\nDefFont=2\rDefMode=1\r\n\r\nDefBright=150");
    EXPECT_EQ(b->data.DefCut, 1);
    EXPECT_EQ(b->data.DefFont, 2);
    EXPECT_EQ(b->data.DefMode, 1);
    EXPECT_EQ(b->data.DefBright, 150);
}

TEST(PpdReader, NulBytesEndTheLineText) {
    std::string text("DefCut=1\0DefMode=1\r\nName=\"A\0B\"\r\nDefFont=2\r\n", 43);
    auto b = Parse(text);
    EXPECT_EQ(b->data.DefCut, 1);
    EXPECT_EQ(b->data.DefMode, 0);
    EXPECT_EQ(Str(b->data.Name), u"A");
    EXPECT_EQ(b->data.DefFont, 2);
}

TEST(PpdReader, OnlyNameParses) {
    auto b = Parse("Name=\"QORCPDN7.DLL\"\r\n");
    PpdData expected{};
    std::memcpy(expected.Name, b->data.Name, sizeof(expected.Name));
    expected.pPaper = b->data.pPaper;
    expected.pUserDef = b->data.pUserDef;
    expected.pBin = b->data.pBin;
    expected.pKind = b->data.pKind;
    EXPECT_EQ(std::memcmp(&expected, &b->data, sizeof(PpdData)), 0);
    EXPECT_EQ(Str(b->data.Name), u"QORCPDN7.DLL");
}

TEST(PpdReader, RefusesNullArguments) {
    PpdData data{};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(PPD_Parse(nullptr, "x", 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PPD_Parse(&data, nullptr, 4));
    EXPECT_TRUE(PPD_Parse(&data, nullptr, 0));
}

}  // namespace
