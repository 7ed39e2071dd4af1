// The property-sheet host: a sheet function asked by reason, its pages
// shown, results reported back to it, and its own result handed out.
#include "ui_fixture.h"

#include "qor/ui/compstui.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace uitest;

namespace {

struct Heard {
    std::vector<std::string> reasons;
    std::vector<uint8_t> page_template;
    LONG_PTR page_handle = 0;
    PROPSHEETUI_INFO* info = nullptr;
};
Heard heard;

INT_PTR CALLBACK quiet_page(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

UINT report_on_release(HWND, UINT message, PROPSHEETPAGEW*) {
    if (message == PSPCB_RELEASE && heard.info)
        heard.info->pfnComPropSheet(heard.info->hComPropSheet, CPSFUNC_SET_RESULT, heard.page_handle, 7);
    return 1;
}

LONG sheet_function(PROPSHEETUI_INFO* info, LPARAM param) {
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        heard.reasons.push_back("init " + std::to_string(param));
        heard.info = info;
        PROPSHEETPAGEW page{};
        page.dwSize = sizeof(page);
        page.dwFlags = PSP_DLGINDIRECT | PSP_USECALLBACK;
        page.pResource = heard.page_template.data();
        page.pfnDlgProc = quiet_page;
        page.pfnCallback = report_on_release;
        heard.page_handle = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW,
                                                  reinterpret_cast<LPARAM>(&page), 0);
        if (!heard.page_handle) return -1;
        heard.reasons.push_back("pages " +
                                std::to_string(info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_GET_PAGECOUNT, 0, 0)));
        return 1;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(param);
        header->Flags = PSUIHDRF_PROPTITLE;
        header->pTitle = const_cast<LPWSTR>(u"Sample");
        heard.reasons.push_back("header");
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT: {
        const auto* result = reinterpret_cast<const SETRESULT_INFO*>(param);
        heard.reasons.push_back("result " + std::to_string(result->Result) +
                                (reinterpret_cast<LONG_PTR>(result->hSetResult) == heard.page_handle ? " page" : ""));
        info->Result = static_cast<ULONG_PTR>(result->Result);
        return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
        heard.reasons.push_back("destroy " + std::to_string(param));
        heard.info = nullptr;
        return 1;
    default:
        return -1;
    }
}

TEST(UiCompstui, ReasonsInOrderAndTheCallersResultHandedOut) {
    heard = Heard{};
    heard.page_template = dialog(u"Page", 100, 50, {});
    HMODULE library = LoadLibraryW(u"compstui.dll");
    ASSERT_NE(library, nullptr);
    auto run = reinterpret_cast<PFN_CommonPropertySheetUIW>(
        reinterpret_cast<void*>(GetProcAddress(library, "CommonPropertySheetUIW")));
    ASSERT_NE(run, nullptr);
    std::string title;
    QTimer::singleShot(0, [&] {
        QWidget* sheet = QApplication::activeModalWidget();
        ASSERT_NE(sheet, nullptr);
        title = sheet->windowTitle().toStdString();
        QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    });
    DWORD result = 0;
    EXPECT_EQ(run(nullptr, sheet_function, 42, &result), CPSUI_OK);
    EXPECT_EQ(title, "Sample Properties");
    EXPECT_EQ((std::vector<std::string>{"init 42", "pages 1", "header", "result 7 page", "destroy 1"}), heard.reasons);
    EXPECT_EQ(result, 7u);
    EXPECT_EQ(run(nullptr, nullptr, 0, &result), ERR_CPSUI_GETLASTERROR);
    FreeLibrary(library);
}

}  // namespace
