// The band: blank rows, raster blocks and their limits, feeds, turned pages.
#include "band.h"
#include "qortest.h"
#include "spooldrv_testing.h"

#include <gtest/gtest.h>

using namespace spooltest;

namespace {

// The page's bytes between the band's 1B 54 00 and the page end.
Bytes BandBytes(const Bytes& all, size_t end_length) {
    const size_t start = Find(all, {0x1D, 0x57}) + 4;  // after the print width
    EXPECT_EQ(Hex(Bytes(all.begin() + static_cast<long>(start), all.begin() + static_cast<long>(start) + 3)), "1B 54 00");
    return Bytes(all.begin() + static_cast<long>(start) + 3, all.end() - static_cast<long>(end_length));
}

Bytes RasterHeader(DWORD bytes, DWORD rows) {
    return {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(bytes), static_cast<uint8_t>(bytes >> 8),
            static_cast<uint8_t>(rows), static_cast<uint8_t>(rows >> 8)};
}

// `before` (feeds, position), then a raster block of all-black bytes.
void AppendSolidBlock(Bytes* out, std::initializer_list<uint8_t> before, DWORD bytes, DWORD rows) {
    out->insert(out->end(), before);
    const Bytes header = RasterHeader(bytes, rows);
    out->insert(out->end(), header.begin(), header.end());
    out->insert(out->end(), static_cast<size_t>(bytes) * rows, 0xFF);
}

TEST(Band, SingleMarkedRowBecomesOnePositionedBlock) {
    Recorder recorder;
    Job job;
    GreyImage image(384, 10);
    image.Paint(20, 3, 13, 1);  // pixels 20..32: bytes 2..4
    PrintPage(job, MakeDevmode(384, 10), image);
    const Bytes band = BandBytes(recorder.all(), 4);
    // Three blank rows fed before the block, the block at x = 2 * 8.
    Bytes expected = {0x1B, 0x4A, 0x03, 0x1B, 0x24, 0x10, 0x00};
    const Bytes header = RasterHeader(3, 1);
    expected.insert(expected.end(), header.begin(), header.end());
    for (uint8_t b : {0x0F, 0xFF, 0x80}) expected.push_back(b);
    EXPECT_EQ(Hex(band), Hex(expected));
}

TEST(Band, IdenticalRowsSplitAfter2303) {
    Recorder recorder;
    Job job;
    GreyImage image(64, 2400);
    image.Paint(0, 0, 8, 2400);
    PrintPage(job, MakeDevmode(64, 2400), image);
    const Bytes band = BandBytes(recorder.all(), 4);
    Bytes expected;
    AppendSolidBlock(&expected, {0x1B, 0x24, 0x00, 0x00}, 1, 2303);
    AppendSolidBlock(&expected, {0x1B, 0x24, 0x00, 0x00}, 1, 97);
    EXPECT_EQ(band, expected);
}

TEST(Band, BlankRowsBetweenBlocksAreFedInStepsOf255) {
    Recorder recorder;
    Job job;
    GreyImage image(64, 310);
    image.Paint(0, 0, 8, 5);
    image.Paint(8, 305, 8, 5);
    PrintPage(job, MakeDevmode(64, 310), image);
    const Bytes band = BandBytes(recorder.all(), 4);
    Bytes expected;
    AppendSolidBlock(&expected, {0x1B, 0x24, 0x00, 0x00}, 1, 5);
    AppendSolidBlock(&expected, {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x2D, 0x1B, 0x24, 0x08, 0x00}, 1, 5);
    EXPECT_EQ(Hex(band), Hex(expected));
}

TEST(Band, LargeBlockIsWrittenInPiecesOf32768) {
    Recorder recorder;
    Job job;
    GreyImage image(320, 1000);
    image.Paint(0, 0, 320, 1000);
    PrintPage(job, MakeDevmode(320, 1000), image);
    const std::vector<Bytes>& writes = recorder.writes();
    // job start | page start .. raster header | 32768 | 7232 + page end
    ASSERT_EQ(writes.size(), 4u);
    const Bytes header = RasterHeader(40, 1000);
    EXPECT_EQ(Bytes(writes[1].end() - 8, writes[1].end()), header);
    EXPECT_EQ(writes[2].size(), 32768u);
    EXPECT_EQ(writes[3].size(), 7232u + 4);
    EXPECT_EQ(Bytes(writes[3].end() - 4, writes[3].end()), (Bytes{0x0A, 0x1D, 0x56, 0x00}));
}

TEST(Band, PageModePlacesEachBlockInItsOwnArea) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(64, 40);
    dm.Mode = 1;
    GreyImage image(64, 40);
    image.Paint(16, 10, 16, 3);
    PrintPage(job, dm, image);
    Bytes expected;
    AppendSolidBlock(&expected, {0x1B, 0x57, 0x10, 0x00, 0x0A, 0x00, 0x10, 0x00, 0x03, 0x00}, 2, 3);
    for (uint8_t b : {0x1B, 0x0C, 0x1D, 0x56, 0x00, 0x1B, 0x53}) expected.push_back(b);
    const Bytes all = recorder.all();
    EXPECT_EQ(Hex(Bytes(all.end() - static_cast<long>(expected.size()), all.end())), Hex(expected));
    EXPECT_EQ(Find(all, {0x1B, 0x4A}), std::string::npos) << "page mode never feeds";
}

TEST(Band, LandscapePageIsTurnedClockwise) {
    // Rendered landscape: 40 wide, 64 high. Printed: rows 64 dots wide, 40 rows.
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(64, 40);
    dm.Mode = 1;
    dm.dm.dmOrientation = DMORIENT_LANDSCAPE;
    GreyImage image(40, 64);
    image.Paint(5, 60, 1, 1);  // near the bottom left of the rendered page
    PrintPage(job, dm, image);
    // Output row 5 (the grey column), pixel 64 - 1 - 60 = 3.
    const Bytes area = {0x1B, 0x57, 0x00, 0x00, 0x05, 0x00, 0x08, 0x00, 0x01, 0x00};
    Bytes expected = area;
    const Bytes header = RasterHeader(1, 1);
    expected.insert(expected.end(), header.begin(), header.end());
    expected.push_back(0x10);
    EXPECT_NE(Find(recorder.all(), expected), std::string::npos) << Hex(recorder.all());
}

TEST(Band, RotatedFeedSwapsWidthAndLength) {
    BandGeometry g;
    EXDEVMODE dm = MakeDevmode(100, 300);
    PaperMetrix paper = dm.CurrentPaper;
    paper.Feed = PAPER_FEED_ROTATED;
    dm.CurrentPaper = paper;
    ASSERT_TRUE(ComputeBandGeometry(dm, &g));
    EXPECT_EQ(g.row_width, 300);
    EXPECT_EQ(g.rows, 100);
    EXPECT_TRUE(g.turned);
    EXPECT_EQ(g.grey_width, 100);
    EXPECT_EQ(g.stride, 100u);
    EXPECT_EQ(g.row_bytes, 40u);  // 38 rounded up to 4
    dm.dm.dmOrientation = DMORIENT_LANDSCAPE;
    ASSERT_TRUE(ComputeBandGeometry(dm, &g));
    EXPECT_FALSE(g.turned);
    EXPECT_EQ(g.stride, 300u);
}

TEST(Band, OnlyOrientationTwoIsLandscape) {
    // The rendering driver draws any other orientation upright.
    BandGeometry g;
    EXDEVMODE dm = MakeDevmode(100, 300);
    for (SHORT orientation : {0, 1, 3, -1}) {
        dm.dm.dmOrientation = orientation;
        ASSERT_TRUE(ComputeBandGeometry(dm, &g));
        EXPECT_FALSE(g.turned) << orientation;
    }
    dm.dm.dmOrientation = DMORIENT_LANDSCAPE;
    ASSERT_TRUE(ComputeBandGeometry(dm, &g));
    EXPECT_TRUE(g.turned);
}

TEST(Band, HostileGeometryAndShortImagesAreContained) {
    BandGeometry g;
    EXPECT_FALSE(ComputeBandGeometry(MakeDevmode(-8, 100), &g));
    EXPECT_FALSE(ComputeBandGeometry(MakeDevmode(0x7FFFFFFF, 100), &g));
    EXPECT_FALSE(ComputeBandGeometry(MakeDevmode(64, 0), &g));

    Recorder recorder;
    Job job;
    job.write(DevmodeRecord(MakeDevmode(64, 0x7FFFFFFF)));
    job.write(BandRecord());
    GreyImage image(64, 3);
    image.Paint(0, 0, 64, 3);
    DWORD written = 7;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(job.write(image.pixels, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    job.write(EndPageRecord());
    EXPECT_NE(Find(recorder.all(), RasterHeader(8, 3)), std::string::npos) << "rows delivered still print";
}

TEST(Band, EveryMethodPrintsBlackAsSolidRows) {
    for (DWORD method = 1; method <= 5; ++method) {
        Recorder recorder;
        Job job;
        EXDEVMODE dm = MakeDevmode(32, 4);
        dm.dm.dmDitherType = method;
        GreyImage image(32, 4);
        image.Paint(0, 0, 32, 4);
        PrintPage(job, dm, image);
        Bytes expected;
        AppendSolidBlock(&expected, {}, 4, 4);
        EXPECT_NE(Find(recorder.all(), expected), std::string::npos) << "method " << method;
    }
}

}  // namespace
