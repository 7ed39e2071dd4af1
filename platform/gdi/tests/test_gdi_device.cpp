// Device contexts, documents and pages on a driver named directly.
#include "gditest_kit.h"

#include "qortest.h"
#include "qor/support/utf.h"

#include <gmock/gmock.h>

#include <cstring>
#include <utility>

using namespace gditest;
using ::testing::ElementsAre;

namespace {

class DeviceContext : public EngineTest {};
class Document : public EngineTest {};

DOCINFOW doc_named(LPCWSTR name) { return DOCINFOW{sizeof(DOCINFOW), name, nullptr, nullptr, 0}; }

TEST_F(DeviceContext, CapsComeFromTheDriverAndDeleteDisablesIt) {
    HDC dc = create_dc({.width = 80, .height = 40});
    ASSERT_NE(dc, nullptr);
    const std::pair<int, int> expected[] = {{HORZRES, 80},       {VERTRES, 40},       {LOGPIXELSY, 203},
                                            {TECHNOLOGY, DT_RASPRINTER}, {PHYSICALWIDTH, 96}, {PHYSICALOFFSETY, 4}};
    for (auto [index, value] : expected) EXPECT_EQ(GetDeviceCaps(dc, index), value) << "index " << index;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(GetDeviceCaps(dc, 9999), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_THAT(log(), ElementsAre("EnablePDEV 80x40", "CompletePDEV", "EnableSurface", "DisableSurface",
                                   "DisablePDEV"));
}

TEST_F(DeviceContext, WithoutDevmodeTheDriverDefaultsApply) {
    HDC dc = CreateDCW(driver_path().c_str(), kDevice, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 64);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 48);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(DeviceContext, RefusedCreationsLeaveNothingBehind) {
    struct Case {
        std::u16string driver;
        LPCWSTR device;
        DWORD fail;
        DWORD error;
    };
    const std::u16string missing = driver_path() + u".missing";
    // The platform library loads but is no printer driver.
    const std::u16string not_a_driver = qor::utf8_to_utf16(qortest::bin_dir() + "/libqorplatform.so");
    const Case cases[] = {
        {driver_path(), nullptr, 0, ERROR_INVALID_PARAMETER},
        {driver_path(), u"", 0, ERROR_INVALID_PARAMETER},
        {missing, kDevice, 0, ERROR_MOD_NOT_FOUND},
        {not_a_driver, kDevice, 0, ERROR_PROC_NOT_FOUND},
        {driver_path(), kDevice, GDITEST_FAIL_ENABLE_PDEV, ERROR_INVALID_DATA},
        {driver_path(), kDevice, GDITEST_FAIL_ENABLE_SURFACE, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const Case& c : cases) {
        GDITEST_DEVMODE dm = devmode({.fail = c.fail});
        size_t left = objects_left_by([&] {
            SetLastError(qortest::kStaleError);
            EXPECT_EQ(CreateDCW(c.driver.c_str(), c.device, nullptr, &dm.dm), nullptr);
            EXPECT_EQ(GetLastError(), c.error) << "fail flags " << c.fail;
        });
        EXPECT_EQ(left, 0u) << "fail flags " << c.fail;
    }
    // The driver that refused its surface had its device disabled again.
    EXPECT_EQ(lines("DisablePDEV").size(), 1u);
}

TEST_F(DeviceContext, BadAndStaleHandlesAreRefused) {
    HDC dc = create_dc();
    ASSERT_TRUE(DeleteDC(dc));
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    DOCINFOW doc = doc_named(u"x");
    GDITEST_DEVMODE dm = devmode();
    for (HDC bad : {HDC{nullptr}, dc, HDC(brush), reinterpret_cast<HDC>(uintptr_t{0x12345678})}) {
        SetLastError(qortest::kStaleError);
        EXPECT_EQ(GetDeviceCaps(bad, HORZRES), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(DeleteDC(bad));
        EXPECT_EQ(StartDocW(bad, &doc), SP_ERROR);
        EXPECT_EQ(StartPage(bad), SP_ERROR);
        EXPECT_EQ(EndPage(bad), SP_ERROR);
        EXPECT_EQ(AbortDoc(bad), SP_ERROR);
        EXPECT_EQ(SetAbortProc(bad, nullptr), SP_ERROR);
        EXPECT_EQ(ResetDCW(bad, &dm.dm), nullptr);
        EXPECT_EQ(SelectObject(bad, GetStockObject(BLACK_BRUSH)), nullptr);
    }
    // The brush survived being taken for a device context.
    EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(DeviceContext, ResetBetweenPagesChangesTheDeviceAndKeepsTheDocument) {
    HDC dc = create_dc({.width = 64, .height = 48});
    DOCINFOW doc = doc_named(u"reset");
    int job = StartDocW(dc, &doc);
    ASSERT_GT(job, 0);
    ASSERT_GT(StartPage(dc), 0);
    GDITEST_DEVMODE wider = devmode({.width = 80, .height = 32});
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(ResetDCW(dc, &wider.dm), nullptr) << "a page is open";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_GT(EndPage(dc), 0);
    EXPECT_EQ(ResetDCW(dc, &wider.dm), dc);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 80);
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_GT(EndPage(dc), 0);
    ASSERT_GT(EndDoc(dc), 0);
    ASSERT_EQ(page_count(), 2u);
    EXPECT_EQ(page(0).width, 64);
    EXPECT_EQ(page(1).width, 80);
    std::string start = "StartDoc reset " + std::to_string(job);
    EXPECT_THAT(lines("StartDoc"), ElementsAre(start, start));
    EXPECT_EQ(lines("ResetPDEV").size(), 1u);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(DeviceContext, RefusedResetKeepsTheOldDevice) {
    HDC dc = create_dc({.width = 64});
    GDITEST_DEVMODE refused = devmode({.width = 100, .fail = GDITEST_FAIL_RESET_PDEV});
    size_t left = objects_left_by([&] {
        SetLastError(qortest::kStaleError);
        EXPECT_EQ(ResetDCW(dc, &refused.dm), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    });
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 64);
    EXPECT_TRUE(print_page(dc, {}));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(DeviceContext, APrintedDocumentLeavesNoEngineObjects) {
    size_t left = objects_left_by([] {
        HDC dc = create_dc({.fonts = 2});
        LOGFONTW lf{};
        lf.lfHeight = -12;
        std::memcpy(lf.lfFaceName, u"DejaVu Sans", 24);
        HFONT font = CreateFontIndirectW(&lf);
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
        EXPECT_TRUE(print_page(dc, [&] {
            SelectObject(dc, font);
            TextOutW(dc, 1, 1, u"Ab", 2);
            RECT r{0, 0, 4, 4};
            FillRect(dc, &r, brush);
        }));
        EXPECT_TRUE(DeleteDC(dc));
        DeleteObject(font);
        DeleteObject(brush);
    });
    EXPECT_EQ(left, 0u);
}

TEST_F(Document, CallsOutOfOrderAreRefused) {
    HDC dc = create_dc();
    DOCINFOW doc = doc_named(u"order");
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(StartPage(dc), SP_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(EndDoc(dc), SP_ERROR);
    EXPECT_EQ(AbortDoc(dc), SP_ERROR);
    ASSERT_GT(StartDocW(dc, &doc), 0);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(StartDocW(dc, &doc), SP_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(EndPage(dc), SP_ERROR);
    ASSERT_GT(StartPage(dc), 0);
    EXPECT_EQ(StartPage(dc), SP_ERROR);
    // EndDoc ends the open page first.
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_EQ(page_count(), 1u);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Document, DriverRefusalsFailTheCallAndLeaveTheStateClean) {
    HDC dc = create_dc({.fail = GDITEST_FAIL_START_DOC});
    DOCINFOW doc = doc_named(u"refused");
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(StartDocW(dc, &doc), SP_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(StartPage(dc), SP_ERROR) << "no document was started";
    GDITEST_DEVMODE page_fails = devmode({.fail = GDITEST_FAIL_START_PAGE});
    ASSERT_EQ(ResetDCW(dc, &page_fails.dm), dc);
    ASSERT_GT(StartDocW(dc, &doc), 0);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(StartPage(dc), SP_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_EQ(EndPage(dc), SP_ERROR) << "no page was started";
    EXPECT_GT(EndDoc(dc), 0);
    EXPECT_EQ(page_count(), 0u);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Document, AbortDropsThePageAndTellsTheDriver) {
    HDC dc = create_dc();
    DOCINFOW doc = doc_named(u"dropped");
    ASSERT_GT(StartDocW(dc, &doc), 0);
    ASSERT_GT(StartPage(dc), 0);
    RECT r{0, 0, 10, 10};
    FillRect(dc, &r, HBRUSH(GetStockObject(BLACK_BRUSH)));
    EXPECT_GT(AbortDoc(dc), 0);
    EXPECT_THAT(lines("EndDoc"), ElementsAre("EndDoc 1"));
    EXPECT_TRUE(lines("StartBanding").empty());
    EXPECT_EQ(EndPage(dc), SP_ERROR);
    // A new document starts cleanly; deleting the DC aborts it.
    ASSERT_GT(StartDocW(dc, &doc), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_THAT(lines("EndDoc"), ElementsAre("EndDoc 1", "EndDoc 1"));
    EXPECT_EQ(page_count(), 0u);
}

int abort_calls = 0;
HDC abort_seen = nullptr;
BOOL abort_on_second_call(HDC hdc, int) {
    abort_seen = hdc;
    return ++abort_calls < 2;
}

TEST_F(Document, AbortProcCancelsAtTheNextBandAndTheJobIsNotCompleted) {
    HDC dc = create_dc({.height = 48, .band_height = 16});
    abort_calls = 0;
    ASSERT_EQ(SetAbortProc(dc, abort_on_second_call), 1);
    DOCINFOW doc = doc_named(u"cancelled");
    ASSERT_GT(StartDocW(dc, &doc), 0);
    ASSERT_GT(StartPage(dc), 0);
    EXPECT_EQ(EndPage(dc), SP_ERROR);
    EXPECT_EQ(abort_seen, dc);
    EXPECT_THAT(lines("NextBand"), ElementsAre("NextBand 0"));
    EXPECT_EQ(page_count(), 0u);
    // The cancelled job must not be ended as if it had printed.
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(EndDoc(dc), SP_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_CANCELLED));
    EXPECT_THAT(lines("EndDoc"), ElementsAre("EndDoc 1"));
    ASSERT_EQ(SetAbortProc(dc, nullptr), 1);
    EXPECT_TRUE(print_page(dc, {})) << "the next document prints";
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Document, ADriverThatNeverEndsItsBandsDoesNotHangEndPage) {
    HDC dc = create_dc({.width = 8, .height = 4, .band_height = 4, .fail = GDITEST_ENDLESS_BANDS});
    DOCINFOW doc = doc_named(u"endless");
    ASSERT_GT(StartDocW(dc, &doc), 0);
    ASSERT_GT(StartPage(dc), 0);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(EndPage(dc), SP_ERROR);
    EXPECT_NE(GetLastError(), qortest::kStaleError);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Document, JobIdsOfDirectDevicesAreDistinct) {
    HDC a = create_dc(), b = create_dc();
    DOCINFOW doc = doc_named(u"ids");
    int first = StartDocW(a, &doc), second = StartDocW(b, &doc);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_TRUE(DeleteDC(b));
}

}  // namespace
