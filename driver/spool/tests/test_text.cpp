// Device-font text: the standard-mode queue placed between raster rows, and
// page-mode text in its own print area.
#include "spooldrv_testing.h"

#include <gtest/gtest.h>

using namespace spooltest;

namespace {

std::vector<TextItemSpec> Letters(LONG x, LONG y, LONG advance, const char* text) {
    std::vector<TextItemSpec> items;
    for (const char* c = text; *c; ++c, x += advance) items.push_back({x, y, 0, static_cast<uint8_t>(*c)});
    return items;
}

// The bytes a text record sends on a page-mode page, from its print area on.
Bytes PageModeText(EXDEVMODE dm, const Bytes& record) {
    Recorder recorder;
    Job job;
    dm.Mode = 1;
    job.write(DevmodeRecord(dm));
    job.write(record);
    job.write(EndPageRecord());
    const Bytes all = recorder.all();
    const size_t area = Find(all, {0x1B, 0x57});
    return area == std::string::npos ? Bytes{} : Bytes(all.begin() + static_cast<long>(area), all.end());
}

Bytes PageBytes(const Recorder& recorder) {
    const Bytes all = recorder.all();
    return Bytes(all.begin() + static_cast<long>(JobStartBytes().size()), all.end());
}

TEST(Text, StandardModeTextGoesOutWhenTheBandReachesItsRow) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(384, 100);
    dm.Font = 1;
    job.write(DevmodeRecord(dm));
    job.write(TextRecord(dm, 100, 20, 48, 24, false, Letters(100, 20, 12, "ABC")));
    job.write(BandRecord());
    job.write(GreyImage(384, 100).pixels);
    job.write(EndPageRecord());
    const Bytes expected = {0x1B, 0x54, 0x00, 0x1B, 0x4A, 0x14, 0x1B, 0x24, 0x64, 0x00, 'A', 0x1B, 0x24,
                            0x70, 0x00, 'B',  0x1B, 0x24, 0x7C, 0x00, 'C',  0x0A, 0x1D, 0x56, 0x00};
    const Bytes page = PageBytes(recorder);
    EXPECT_EQ(Hex(Bytes(page.end() - static_cast<long>(expected.size()), page.end())), Hex(expected));
}

TEST(Text, QueueOrdersByRowThenColumnAndKeepsTextAtTheTop) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(384, 100);
    dm.Font = 2;
    job.write(DevmodeRecord(dm));
    job.write(TextRecord(dm, 10, 0, 8, 16, false, Letters(10, 0, 8, "T")));
    job.write(TextRecord(dm, 10, 50, 8, 16, false, Letters(10, 50, 8, "C")));
    job.write(TextRecord(dm, 200, 20, 8, 16, false, Letters(200, 20, 8, "B")));
    job.write(TextRecord(dm, 100, 20, 8, 16, false, Letters(100, 20, 8, "A")));
    job.write(BandRecord());
    job.write(GreyImage(384, 100).pixels);
    job.write(EndPageRecord());
    const Bytes page = PageBytes(recorder);
    const size_t t = Find(page, {0x1B, 0x24, 0x0A, 0x00, 'T'});
    const size_t a = Find(page, {0x1B, 0x24, 0x64, 0x00, 'A'});
    const size_t b = Find(page, {0x1B, 0x24, 0xC8, 0x00, 'B'});
    const size_t c = Find(page, {0x1B, 0x24, 0x0A, 0x00, 'C'});
    ASSERT_NE(t, std::string::npos) << "a lone text at the top row is printed";
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(t, a);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST(Text, TextRowClosesAnOpenBlockFirst) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(64, 40);
    dm.Font = 2;
    GreyImage image(64, 40);
    image.Paint(0, 2, 8, 10);  // rows 2..11, the text at row 6 cuts the block
    job.write(DevmodeRecord(dm));
    job.write(TextRecord(dm, 16, 6, 8, 16, false, Letters(16, 6, 8, "X")));
    job.write(BandRecord());
    job.write(image.pixels);
    job.write(EndPageRecord());
    const Bytes page = PageBytes(recorder);
    Bytes expected = {0x1B, 0x54, 0x00, 0x1B, 0x4A, 0x02, 0x1B, 0x24, 0x00, 0x00, 0x1D, 0x76, 0x30, 0x00, 1, 0, 4, 0};
    expected.insert(expected.end(), 4, 0xFF);
    for (uint8_t v : {0x1B, 0x24, 0x10, 0x00, static_cast<int>('X')}) expected.push_back(v);
    EXPECT_EQ(Find(page, expected), 22u) << Hex(page);
}

TEST(Text, PageModePortraitTextIsPlacedInItsArea) {
    EXDEVMODE dm = MakeDevmode(384, 400);
    dm.Font = 2;
    const Bytes text = PageModeText(dm, TextRecord(dm, 100, 184, 24, 16, false, Letters(100, 184, 8, "ABC")));
    const Bytes expected = {0x1B, 0x57, 0x64, 0x00, 0xB8, 0x00, 0x18, 0x00, 0x10, 0x00,  // area
                            0x1B, 0x24, 0x00, 0x00, 0x1D, 0x24, 0x10, 0x00, 'A',        //
                            0x1B, 0x24, 0x08, 0x00, 'B', 0x1B, 0x24, 0x10, 0x00, 'C'};
    EXPECT_EQ(Find(text, expected), 0u) << Hex(text);
}

TEST(Text, PageModeLandscapeTextAreaIsTurned) {
    EXDEVMODE dm = MakeDevmode(384, 400);
    dm.Font = 1;
    dm.dm.dmOrientation = DMORIENT_LANDSCAPE;
    const Bytes text = PageModeText(dm, TextRecord(dm, 50, 100, 36, 24, false, Letters(50, 100, 12, "AB")));
    // x = 384 - 100 - 24 = 260, y = 50, dx = 24, dy = 36.
    const Bytes expected = {0x1B, 0x57, 0x04, 0x01, 0x32, 0x00, 0x18, 0x00, 0x24, 0x00,
                            0x1B, 0x24, 0x00, 0x00, 0x1D, 0x24, 0x18, 0x00, 'A'};
    EXPECT_EQ(Find(text, expected), 0u) << Hex(text);
}

TEST(Text, KanjiModeIsSwitchedOnlyWhenTheRecordKindChanges) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(384, 400);
    dm.Mode = 1;
    dm.Font = 1;
    job.write(DevmodeRecord(dm));
    recorder.clear();
    job.write(TextRecord(dm, 0, 0, 48, 24, true, {{0, 0, 0x88, 0xEA}, {24, 0, 0x82, 0xA0}}));
    job.write(TextRecord(dm, 0, 30, 24, 24, true, {{0, 30, 0x88, 0xEA}}));
    job.write(TextRecord(dm, 0, 60, 12, 24, false, Letters(0, 60, 12, "A")));
    job.write(EndPageRecord());
    const Bytes all = recorder.all();
    const size_t on = Find(all, {0x1C, 0x26});
    ASSERT_NE(on, std::string::npos);
    EXPECT_EQ(Find(all, {0x1C, 0x26}, on + 1), std::string::npos) << "switched on once";
    EXPECT_NE(Find(all, {0x1B, 0x24, 0x00, 0x00, 0x1D, 0x24, 0x18, 0x00, 0x88, 0xEA, 0x1B, 0x24, 0x18, 0x00, 0x82, 0xA0}),
              std::string::npos);
    const size_t off = Find(all, {0x1C, 0x2E});
    ASSERT_NE(off, std::string::npos);
    EXPECT_LT(Find(all, {0x82, 0xA0}), off);
    EXPECT_LT(off, Find(all, {'A'}, off));
}

TEST(Text, ItemsAreReadOnlyAsFarAsTheRecordReaches) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(384, 400);
    dm.Mode = 1;
    job.write(DevmodeRecord(dm));
    recorder.clear();
    Bytes record = TextRecord(dm, 0, 0, 16, 16, false, Letters(0, 0, 8, "AB"));
    record[44] = 0xFF;  // item count far beyond the record
    record[36] = 0xFF;
    EXPECT_TRUE(job.write(record));
    DWORD written = 0;
    EXPECT_FALSE(job.write(Bytes(record.begin(), record.begin() + 40), &written)) << "shorter than its header";
    job.write(EndPageRecord());
    const Bytes all = recorder.all();
    EXPECT_NE(Find(all, {'A'}), std::string::npos);
    EXPECT_NE(Find(all, {'B'}), std::string::npos);
}

}  // namespace
