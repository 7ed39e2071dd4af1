// Property sheets: pages built when first shown, the notifications in the
// platform's order, Apply following PSM_CHANGED, refusals that keep the
// sheet open, and every page released once.
#include "ui_fixture.h"

#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace uitest;

namespace {

enum : uint16_t { kButton = 0x0080 };

struct Log {
    std::vector<std::string> events;
    LRESULT apply_answer = PSNRET_NOERROR;
    LRESULT kill_answer = FALSE;
};
Log heard;

INT_PTR CALLBACK page_proc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* record = reinterpret_cast<PROPSHEETPAGEW*>(lparam);
        SetWindowLongPtrW(page, DWLP_USER, record->lParam);
        heard.events.push_back("init " + std::to_string(record->lParam));
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* note = reinterpret_cast<const PSHNOTIFY*>(lparam);
        const std::string who = std::to_string(GetWindowLongPtrW(page, DWLP_USER));
        LRESULT answer = 0;
        switch (note->hdr.code) {
        case PSN_SETACTIVE: heard.events.push_back("active " + who); break;
        case PSN_KILLACTIVE: heard.events.push_back("kill " + who); answer = heard.kill_answer; break;
        case PSN_APPLY:
            heard.events.push_back("apply " + who + (note->lParam ? " ok" : ""));
            answer = heard.apply_answer;
            break;
        case PSN_RESET: heard.events.push_back("reset " + who); break;
        case PSN_HELP: heard.events.push_back("help " + who); break;
        default: return FALSE;
        }
        SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
        return TRUE;
    }
    case WM_DESTROY:
        heard.events.push_back("destroy " + std::to_string(GetWindowLongPtrW(page, DWLP_USER)));
        return TRUE;
    default:
        return FALSE;
    }
}

UINT release(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message == PSPCB_RELEASE) heard.events.push_back("release " + std::to_string(page->lParam));
    return 1;
}

class UiPropertySheets : public ::testing::Test {
protected:
    void SetUp() override {
        heard = Log{};
        for (int i = 0; i < 3; ++i)
            templates.push_back(dialog(u"Page " + u16(std::to_string(i)), 120, 60,
                                       {{kChild | WS_TABSTOP, 10, 10, 50, 14, 100, kButton, u"", u"Push"}}));
    }

    HPROPSHEETPAGE page(int number, bool callback = true) {
        PROPSHEETPAGEW record{};
        record.dwSize = sizeof(record);
        record.dwFlags = PSP_DLGINDIRECT | (callback ? PSP_USECALLBACK : 0);
        record.pResource = templates[static_cast<size_t>(number)].data();
        record.pfnDlgProc = page_proc;
        record.lParam = number;
        record.pfnCallback = release;
        return CreatePropertySheetPageW(&record);
    }

    HWND open(std::vector<HPROPSHEETPAGE> pages, DWORD flags = PSH_HASHELP) {
        handles = std::move(pages);
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS | PSH_PROPTITLE | flags;
        header.pszCaption = u"Printer";
        header.nPages = static_cast<UINT>(handles.size());
        header.phpage = handles.data();
        const INT_PTR sheet = PropertySheetW(&header);
        return sheet == -1 ? nullptr : reinterpret_cast<HWND>(sheet);
    }

    QPushButton* button(HWND sheet, const char* name) {
        return widget_of<QWidget>(sheet)->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QTabWidget* tabs(HWND sheet) { return widget_of<QWidget>(sheet)->findChild<QTabWidget*>(); }

    std::vector<std::vector<uint8_t>> templates;
    std::vector<HPROPSHEETPAGE> handles;
};

TEST_F(UiPropertySheets, PagesAreBuiltWhenFirstShownAndNotifiedInOrder) {
    HWND sheet = open({page(0), page(1), page(2)});
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(text_of(sheet), "Printer Properties");
    EXPECT_EQ((std::vector<std::string>{"init 0", "active 0"}), heard.events);
    ASSERT_EQ(tabs(sheet)->count(), 3);
    EXPECT_EQ(tabs(sheet)->tabText(1).toStdString(), "Page 1");
    EXPECT_EQ(SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0), 0);  // not built yet

    heard.events.clear();
    tabs(sheet)->setCurrentIndex(2);
    EXPECT_EQ((std::vector<std::string>{"kill 0", "init 2", "active 2"}), heard.events);
    HWND third = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    EXPECT_EQ(GetParent(third), sheet);

    // OK applies the pages built so far, then everything is released in
    // the order given, built or not.
    heard.events.clear();
    QTest::mouseClick(button(sheet, "ok"), Qt::LeftButton);
    EXPECT_EQ(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0), 0);
    EXPECT_EQ(SendMessageW(sheet, PSM_GETRESULT, 0, 0), 1);
    DestroyWindow(sheet);
    EXPECT_EQ((std::vector<std::string>{"kill 2", "apply 0 ok", "apply 2 ok", "destroy 0", "destroy 2", "release 0",
                                        "release 1", "release 2"}),
              heard.events);
}

TEST_F(UiPropertySheets, ApplyFollowsChangesAndRefusalsKeepTheSheetOpen) {
    HWND sheet = open({page(0), page(1)});
    HWND first = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    QPushButton* apply = button(sheet, "apply");
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    SendMessageW(sheet, PSM_CHANGED, reinterpret_cast<WPARAM>(first), 0);
    EXPECT_TRUE(apply->isEnabled());
    SendMessageW(sheet, PSM_UNCHANGED, reinterpret_cast<WPARAM>(first), 0);
    EXPECT_FALSE(apply->isEnabled());

    // A page that refuses its values keeps the page and the sheet.
    tabs(sheet)->setCurrentIndex(1);
    SendMessageW(sheet, PSM_CHANGED, SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0), 0);
    heard.events.clear();
    heard.kill_answer = TRUE;
    tabs(sheet)->setCurrentIndex(0);
    EXPECT_EQ(tabs(sheet)->currentIndex(), 1);
    QTest::mouseClick(button(sheet, "ok"), Qt::LeftButton);
    EXPECT_NE(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0), 0);
    EXPECT_EQ((std::vector<std::string>{"kill 1", "kill 1"}), heard.events);

    heard.kill_answer = FALSE;
    heard.apply_answer = PSNRET_INVALID;
    heard.events.clear();
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_EQ((std::vector<std::string>{"kill 1", "apply 0", "active 0"}), heard.events);
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_EQ(tabs(sheet)->currentIndex(), 0);

    heard.apply_answer = PSNRET_NOERROR;
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_NE(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0), 0);

    // Help goes to the current page; Cancel resets every built page.
    heard.events.clear();
    QTest::mouseClick(button(sheet, "help"), Qt::LeftButton);
    QTest::mouseClick(button(sheet, "cancel"), Qt::LeftButton);
    EXPECT_EQ((std::vector<std::string>{"help 0", "reset 0", "reset 1"}), heard.events);
    EXPECT_EQ(SendMessageW(sheet, PSM_GETRESULT, 0, 0), 1);  // an apply went through before
    DestroyWindow(sheet);
}

TEST_F(UiPropertySheets, BadHeadersAndPagesFailAndReleaseWhatTheyWereGiven) {
    EXPECT_EQ(open({}), nullptr);
    // A page without a readable template cannot be shown.
    PROPSHEETPAGEW record{};
    record.dwSize = sizeof(record);
    record.dwFlags = PSP_USECALLBACK;
    record.pszTemplate = MAKEINTRESOURCEW(4242);
    record.pfnDlgProc = page_proc;
    record.lParam = 7;
    record.pfnCallback = release;
    HPROPSHEETPAGE missing = CreatePropertySheetPageW(&record);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(open({missing}), nullptr);
    EXPECT_EQ((std::vector<std::string>{"release 7"}), heard.events);

    record.dwSize = 12;  // shorter than the fields every page needs
    EXPECT_EQ(CreatePropertySheetPageW(&record), nullptr);
    EXPECT_EQ(PropertySheetW(nullptr), -1);
}

TEST_F(UiPropertySheets, ModalSheetReturnsWhetherSomethingWasApplied) {
    for (const char* press : {"cancel", "ok"}) {
        handles = {page(0, false)};
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof(header);
        header.pszCaption = u"Printer";
        header.nPages = 1;
        header.phpage = handles.data();
        QTimer::singleShot(0, [&] {
            QWidget* sheet = QApplication::activeModalWidget();
            ASSERT_NE(sheet, nullptr);
            EXPECT_TRUE(qortest::screenshot(qortest::handle_of(sheet), "layer-property-sheet.png"));
            QTest::mouseClick(sheet->findChild<QPushButton*>(QString::fromLatin1(press)), Qt::LeftButton);
        });
        EXPECT_EQ(PropertySheetW(&header), std::string(press) == "ok" ? 1 : 0) << press;
    }
}

}  // namespace
