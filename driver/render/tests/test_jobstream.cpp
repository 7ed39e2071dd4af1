// The job stream a document produces, byte for byte, and how it ends when
// the job is aborted or the output fails.
#include "render_testkit.h"

#include <cstring>

using namespace rendertest;

namespace {

using RenderJobStream = InstalledDriver;

constexpr DWORD kOddWidth = 577, kOddRows = 40;
constexpr size_t kOddImage = 580 * 40;

std::vector<std::string> expected_calls(std::initializer_list<std::string> writes) {
    std::vector<std::string> lines = {"start 41 printer"};
    for (const auto& w : writes) lines.push_back(w);
    lines.push_back("end");
    lines.push_back("close");
    return lines;
}

HDC odd_paper_dc(BYTE bright = 150) {
    DevmodeChanges changes;
    changes.paper = 300;
    changes.bright = bright;
    return create_dc(make_devmode(changes));
}

TEST_F(RenderJobStream, OnePageDocumentWritesExactlyItsRecords) {
    EXDEVMODE devmode = make_devmode(DevmodeChanges{0, 150, DMORIENT_PORTRAIT, 300, 1252});
    HDC hdc = create_dc(devmode);
    ASSERT_NE(hdc, nullptr);
    ASSERT_TRUE(print_document(hdc, 1));
    EXPECT_TRUE(DeleteDC(hdc));
    EXPECT_EQ(calls(), expected_calls({"write 900", "write 8", "write " + std::to_string(kOddImage), "write 8"}));
    auto all = records();
    ASSERT_EQ(all.size(), 4u);
    // Device mode record: header, then the accepted copy of the caller's record.
    const uint8_t head[8] = {1, 0, 0, 0, 0x7C, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(all[0].bytes.data(), head, 8), 0);
    const auto* expected = reinterpret_cast<const uint8_t*>(&devmode);
    for (size_t i = 0; i < sizeof(devmode); ++i) ASSERT_EQ(all[0].bytes[8 + i], expected[i]) << "offset " << i;
    const uint8_t band[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(all[1].bytes.data(), band, 8), 0);
    ASSERT_TRUE(all[2].image);
    for (DWORD y = 0; y < kOddRows; ++y)
        for (DWORD x = 0; x < kOddWidth; ++x) ASSERT_EQ(all[2].bytes[y * 580 + x], 0xFF);
    const uint8_t end[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(all[3].bytes.data(), end, 8), 0);
    // The page marks let the spooler count the job's pages.
    EXPECT_EQ(spooler_calls(),
              (std::vector<std::string>{"StartDocPrinter", "StartPagePrinter", "EndPagePrinter", "EndDocPrinter"}));
}

TEST_F(RenderJobStream, TwoPagesWithDeviceTextOnTheFirst) {
    DevmodeChanges changes;
    changes.font = 1;
    changes.paper = 300;
    HDC hdc = create_dc(make_devmode(changes));
    ASSERT_NE(hdc, nullptr);
    LOGFONTW logfont{};
    logfont.lfHeight = 24;
    std::memcpy(logfont.lfFaceName, u"QOR Original", sizeof(u"QOR Original"));
    HFONT font = CreateFontIndirectW(&logfont);
    ASSERT_TRUE(print_document(hdc, 2, [&](int page) {
        if (page != 0) return;
        SelectObject(hdc, font);
        SetTextAlign(hdc, TA_BASELINE);
        EXPECT_TRUE(TextOutW(hdc, 10, 30, u"AB", 2));
    }));
    EXPECT_TRUE(DeleteDC(hdc));
    DeleteObject(font);
    EXPECT_EQ(record_types(), (std::vector<uint16_t>{1, 8, 4, 0xFFFF, 2, 1, 4, 0xFFFF, 2}));
    EXPECT_EQ(calls(), expected_calls({"write 900", "write 72", "write 8", "write " + std::to_string(kOddImage),
                                       "write 8", "write 900", "write 8", "write " + std::to_string(kOddImage),
                                       "write 8"}));
    EXPECT_EQ(spooler_calls(), (std::vector<std::string>{"StartDocPrinter", "StartPagePrinter", "EndPagePrinter",
                                                         "StartPagePrinter", "EndPagePrinter", "EndDocPrinter"}));
    // Device text leaves the band white: the printer draws it.
    GreyImage image = grey_image(0, kOddWidth);
    ASSERT_EQ(image.height, kOddRows);
    for (DWORD y = 0; y < kOddRows; ++y)
        for (DWORD x = 0; x < kOddWidth; ++x) ASSERT_EQ(image.at(x, y), 0xFF);
}

// A filled square of one colour, converted with the device's brightness.
uint8_t grey_of_square(BYTE bright, COLORREF colour) {
    HDC hdc = odd_paper_dc(bright);
    EXPECT_NE(hdc, nullptr);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT square{10, 10, 30, 30};
    EXPECT_TRUE(print_document(hdc, 1, [&](int) { EXPECT_EQ(FillRect(hdc, &square, brush), 1); }));
    DeleteDC(hdc);
    DeleteObject(brush);
    GreyImage image = grey_image(0, kOddWidth);
    EXPECT_EQ(image.at(9, 9), 0xFF);
    EXPECT_EQ(image.at(30, 30), 0xFF);
    EXPECT_EQ(image.at(10, 10), image.at(29, 29));
    return image.at(10, 10);
}

TEST_F(RenderJobStream, GreyConversionAtNeutralBrightness) {
    EXPECT_EQ(grey_of_square(150, RGB(30, 60, 90)), (21 * 90 + 69 * 60 + 10 * 30) / 100);
}

TEST_F(RenderJobStream, GreyConversionAtBrightness200) {
    EXPECT_EQ(grey_of_square(200, RGB(30, 60, 90)), (21 * 140 + 69 * 110 + 10 * 80) / 100);
}

TEST_F(RenderJobStream, BrightnessNeverTouchesWhite) {
    EXPECT_EQ(grey_of_square(200, RGB(255, 255, 255)), 0xFF);
    EXPECT_EQ(grey_of_square(200, RGB(250, 250, 250)), 0xFF);
}

TEST_F(RenderJobStream, LandscapeSurfaceIsAreaLengthWide) {
    DevmodeChanges changes;
    changes.orientation = DMORIENT_LANDSCAPE;
    changes.paper = 300;
    HDC hdc = create_dc(make_devmode(changes));
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 40);
    ASSERT_TRUE(print_document(hdc, 1));
    DeleteDC(hdc);
    // 40 pixels wide (a multiple of 4), 577 rows.
    EXPECT_EQ(calls(), expected_calls({"write 900", "write 8", "write " + std::to_string(40 * 577), "write 8"}));
}

TEST_F(RenderJobStream, AbortedJobWritesNoBand) {
    HDC hdc = odd_paper_dc();
    ASSERT_NE(hdc, nullptr);
    SetAbortProc(hdc, [](HDC, int) -> BOOL { return FALSE; });
    DOCINFOW doc{sizeof(DOCINFOW), u"aborted", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(hdc, &doc), 0);
    ASSERT_GT(StartPage(hdc), 0);
    EXPECT_EQ(EndPage(hdc), SP_ERROR);
    EXPECT_GT(AbortDoc(hdc), 0);
    DeleteDC(hdc);
    for (uint16_t type : record_types()) EXPECT_NE(type, 4);
    EXPECT_EQ(record_types(), (std::vector<uint16_t>{1, 2}));
    // The page that was not sent is not counted.
    EXPECT_EQ(spooler_calls(), (std::vector<std::string>{"StartDocPrinter", "StartPagePrinter", "AbortPrinter"}));
}

TEST_F(RenderJobStream, FailedOutputRefusesLaterPages) {
    setenv("QOR_STANDIN_FAIL_WRITE", "2", 1);  // the band record of page 1
    HDC hdc = odd_paper_dc();
    ASSERT_NE(hdc, nullptr);
    DOCINFOW doc{sizeof(DOCINFOW), u"failing", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(hdc, &doc), 0);
    ASSERT_GT(StartPage(hdc), 0);
    EXPECT_EQ(EndPage(hdc), SP_ERROR);
    EXPECT_EQ(StartPage(hdc), SP_ERROR);
    EXPECT_EQ(EndDoc(hdc), SP_ERROR);
    DeleteDC(hdc);
    unsetenv("QOR_STANDIN_FAIL_WRITE");
    EXPECT_EQ(calls(), (std::vector<std::string>{"start 41 printer", "write 900", "write-failed 8", "end", "close"}));
}

TEST_F(RenderJobStream, DocumentFailsWithoutASpoolerSideJob) {
    setenv("QOR_STANDIN_NO_JOB", "1", 1);
    HDC hdc = odd_paper_dc();
    ASSERT_NE(hdc, nullptr);
    DOCINFOW doc{sizeof(DOCINFOW), u"no job", nullptr, nullptr, 0};
    EXPECT_EQ(StartDocW(hdc, &doc), SP_ERROR);
    unsetenv("QOR_STANDIN_NO_JOB");
    EXPECT_EQ(spooler_calls(), (std::vector<std::string>{"StartDocPrinter", "AbortPrinter"}));
    // The device stays usable for the next document.
    EXPECT_GT(StartDocW(hdc, &doc), 0);
    EXPECT_GT(EndDoc(hdc), 0);
    DeleteDC(hdc);
}

TEST_F(RenderJobStream, SecondDocumentStartsWithoutAStrayPageEnd) {
    HDC hdc = odd_paper_dc();
    ASSERT_NE(hdc, nullptr);
    ASSERT_TRUE(print_document(hdc, 1));
    ASSERT_TRUE(print_document(hdc, 1));
    DeleteDC(hdc);
    EXPECT_EQ(record_types(), (std::vector<uint16_t>{1, 4, 0xFFFF, 2, 1, 4, 0xFFFF, 2}));
}

TEST_F(RenderJobStream, ResetDuringADocumentContinuesTheJob) {
    HDC hdc = odd_paper_dc();
    ASSERT_NE(hdc, nullptr);
    DOCINFOW doc{sizeof(DOCINFOW), u"reset", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(hdc, &doc), 0);
    ASSERT_GT(StartPage(hdc), 0);
    ASSERT_GT(EndPage(hdc), 0);
    DevmodeChanges landscape;
    landscape.paper = 300;
    landscape.orientation = DMORIENT_LANDSCAPE;
    EXDEVMODE devmode = make_devmode(landscape);
    ASSERT_EQ(ResetDCW(hdc, &devmode.dm), hdc);
    ASSERT_GT(StartPage(hdc), 0);
    ASSERT_GT(EndPage(hdc), 0);
    ASSERT_GT(EndDoc(hdc), 0);
    DeleteDC(hdc);
    EXPECT_EQ(calls(), expected_calls({"write 900", "write 8", "write " + std::to_string(kOddImage), "write 8",
                                       "write 900", "write 8", "write " + std::to_string(40 * 577), "write 8"}));
}

}  // namespace
