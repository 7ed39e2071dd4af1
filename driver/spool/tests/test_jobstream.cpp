// Record dispatch, job and page commands, output buffering and failures.
#include "spooldrv_testing.h"
#include "qortest.h"
#include "exports.h"
#include "qor/memory.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace spooltest;

namespace {

constexpr LONG kWidth = 384;  // 48 mm paper, 0x0180 dots

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes bytes;
    for (const Bytes& p : parts) bytes.insert(bytes.end(), p.begin(), p.end());
    return bytes;
}

const Bytes kStandardPageStart = {0x1D, 0x45, 0x03, 0x1B, 0x53, 0x1B, 0x21, 0x00, 0x1C, 0x43, 0x01,
                                  0x1C, 0x21, 0x00, 0x1D, 0x4C, 0x00, 0x00, 0x1D, 0x57, 0x80, 0x01};
const Bytes kStandardPageEnd = {0x0A, 0x1D, 0x56, 0x00};
const Bytes kDirection0 = {0x1B, 0x54, 0x00};

TEST(JobStream, BlankFirstPageInStandardModeIsJustItsCommands) {
    Recorder recorder;
    Job job;
    PrintPage(job, MakeDevmode(kWidth, 200), GreyImage(kWidth, 200));
    EXPECT_EQ(Hex(recorder.all()), Hex(Concat({JobStartBytes(), kStandardPageStart, kDirection0, kStandardPageEnd})));
    // Job start goes straight out; the page goes out in one buffered write.
    ASSERT_EQ(recorder.writes().size(), 2u);
    EXPECT_EQ(recorder.writes()[0], JobStartBytes());
}

TEST(JobStream, FirstPageInPageModeOpensAndClosesThePage) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(kWidth, 200);
    dm.Mode = 1;
    PrintPage(job, dm, GreyImage(kWidth, 200));
    const Bytes page = {0x1D, 0x45, 0x03, 0x1B, 0x4C, 0x1B, 0x21, 0x00, 0x1C, 0x43, 0x01, 0x1C, 0x21, 0x00,
                        0x12, 0x4F, 0x00, 0x1B, 0x54, 0x00};
    const Bytes end = {0x1B, 0x0C, 0x1D, 0x56, 0x00, 0x1B, 0x53};
    EXPECT_EQ(Hex(recorder.all()), Hex(Concat({JobStartBytes(), page, kDirection0, end})));
}

TEST(JobStream, PageModeLandscapeAndPaperAreaKind) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(kWidth, 200);
    dm.Mode = 1;
    dm.Kind = EXDM_KIND_PAGE_AREA;
    dm.dm.dmOrientation = DMORIENT_LANDSCAPE;
    job.write(DevmodeRecord(dm));
    job.write(EndPageRecord());
    // Direction 3 for landscape; the area is the paper's printable size in mm * 8.
    const Bytes tail = {0x12, 0x4F, 0x00, 0x1B, 0x54, 0x03, 0x1B, 0x57, 0, 0, 0, 0, 0x80, 0x01, 0xC8, 0x00};
    EXPECT_NE(Find(recorder.all(), tail), std::string::npos) << Hex(recorder.all());
}

TEST(JobStream, SettingsPickTheirCommandBytes) {
    struct Case {
        BYTE density, quality, font, cut, kind;
        Bytes start, end;
    };
    const Case cases[] = {
        {9, 0, 0, 0, 0, {0x1D, 0x45, 0x03}, {0x0A, 0x1D, 0x56, 0x00}},
        {5, 1, 0, 1, 0, {0x1D, 0x45, 0x15}, {0x0A, 0x1D, 0x56, 0x01}},
        {0, 0, 2, 2, 0, {0x1D, 0x45, 0x00, 0x1B, 0x53, 0x1B, 0x21, 0x01, 0x1C, 0x43, 0x01, 0x1C, 0x21, 0x01}, {0x0A}},
        {3, 0, 0, 0, 1, {0x1D, 0x45, 0x03}, {0x0A, 0x1D, 0x0C, 0x1D, 0x56, 0x00}},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        Job job;
        EXDEVMODE dm = MakeDevmode(kWidth, 8);
        dm.Density = c.density;
        dm.Quality = c.quality;
        dm.Font = c.font;
        dm.Cut = c.cut;
        dm.Kind = c.kind;
        PrintPage(job, dm, GreyImage(kWidth, 8));
        const Bytes all = recorder.all();
        const Bytes page(all.begin() + static_cast<long>(JobStartBytes().size()), all.end());
        EXPECT_EQ(Hex(Bytes(page.begin(), page.begin() + static_cast<long>(c.start.size()))), Hex(c.start));
        EXPECT_EQ(Hex(Bytes(page.end() - static_cast<long>(c.end.size()), page.end())), Hex(c.end));
        EXPECT_EQ(Hex(Bytes(page.end() - static_cast<long>(c.end.size()) - 3, page.end() - static_cast<long>(c.end.size()))),
                  Hex(kDirection0));
    }
}

TEST(JobStream, DevmodeWithoutSettingsSignatureKeepsThePreviousSettings) {
    Recorder recorder;
    Job job;
    EXDEVMODE dm = MakeDevmode(kWidth, 8);
    dm.Density = 5;
    PrintPage(job, dm, GreyImage(kWidth, 8));
    recorder.clear();
    EXDEVMODE unsigned_dm = MakeDevmode(200, 8);
    unsigned_dm.SettingsSignature = 0;
    unsigned_dm.Density = 1;
    unsigned_dm.Cut = 2;
    PrintPage(job, unsigned_dm, GreyImage(kWidth, 8));
    // Second page: no job start again, density 5 and width 384 kept, full cut kept.
    const Bytes all = recorder.all();
    EXPECT_EQ(Hex(Bytes(all.begin(), all.begin() + 3)), "1D 45 05");
    EXPECT_NE(Find(all, {0x1D, 0x57, 0x80, 0x01}), std::string::npos);
    EXPECT_EQ(Hex(Bytes(all.end() - 4, all.end())), "0A 1D 56 00");
}

TEST(JobStream, DevmodeRecordOfWrongLengthIsRefused) {
    Recorder recorder;
    Job job;
    Bytes record = DevmodeRecord(MakeDevmode(kWidth, 8));
    record[4] = 0x7B;  // payload length 891
    DWORD written = 99;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(job.write(record, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A length beyond the call's bytes is refused before anything is read.
    Bytes truncated = DevmodeRecord(MakeDevmode(kWidth, 8));
    truncated.resize(100);
    EXPECT_FALSE(job.write(truncated, &written));
    EXPECT_TRUE(recorder.all().empty());
}

TEST(JobStream, ShortCallsBadHandlesAndUnknownRecords) {
    Recorder recorder;
    Job job;
    DWORD written = 0;
    EXPECT_FALSE(job.write(Bytes{1, 0, 0}, &written));
    EXPECT_FALSE(job.write(nullptr, 16, &written));
    const Bytes unknown = {0x77, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3};
    EXPECT_TRUE(job.write(unknown, &written));
    EXPECT_EQ(written, unknown.size());
    int stranger = 0;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(DrvSplWritePrinter(&stranger, const_cast<uint8_t*>(unknown.data()), 11, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(recorder.all().empty());
}

TEST(JobStream, EndOfPageWithoutAPageSendsNothing) {
    Recorder recorder;
    Job job;
    EXPECT_TRUE(job.write(EndPageRecord()));
    PrintPage(job, MakeDevmode(kWidth, 8), GreyImage(kWidth, 8));
    ASSERT_FALSE(recorder.writes().empty());
    EXPECT_EQ(recorder.writes()[0], JobStartBytes());
}

TEST(JobStream, PassThroughGoesOutAfterWhatThePageBuffered) {
    Recorder recorder;
    Job job;
    job.write(DevmodeRecord(MakeDevmode(kWidth, 8)));
    DWORD written = 0;
    const Bytes raw = {0x12, 0x74};
    const Bytes record = PassThroughRecord(raw);
    EXPECT_TRUE(job.write(record, &written));
    EXPECT_EQ(written, record.size());
    ASSERT_EQ(recorder.writes().size(), 3u);
    EXPECT_EQ(recorder.writes()[1], kStandardPageStart);
    EXPECT_EQ(recorder.writes()[2], raw);
}

TEST(JobStream, FailedWritesAreReportedAndStopTheJob) {
    Recorder recorder;
    Job job;
    recorder.fail_with(ERROR_NOT_READY);
    DWORD written = 5;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(job.write(DevmodeRecord(MakeDevmode(kWidth, 8)), &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    recorder.fail_with(0);
    EXPECT_FALSE(job.write(BandRecord()));
    EXPECT_TRUE(recorder.all().empty());
}

TEST(JobStream, PageEntryPointsCountAndAbortOnlyRecords) {
    Recorder recorder;
    Job job;
    EXPECT_TRUE(DrvSplStartPage(job.handle));
    EXPECT_TRUE(DrvSplAbort(job.handle));
    PrintPage(job, MakeDevmode(kWidth, 8), GreyImage(kWidth, 8));
    EXPECT_FALSE(recorder.all().empty());
}

}  // namespace
