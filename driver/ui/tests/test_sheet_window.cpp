// The interface driver's sheets as a user meets them: the real pages and
// boxes in the common property-sheet library on Qt's offscreen platform,
// against a private spooler with the printer and its description.
#include "spool_testing.h"
#include "ui_testkit.h"

#include "common/exdevmode.h"
#include "qor/ddiui.h"
#include "qor/module.h"
#include "qor/registry.h"
#include "qor/spooler.h"
#include "qor/ui/compstui.h"
#include "qor/ui/windows.h"
#include "qortest_ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"QOR ZEM-D";

// The sheet on screen, found as the application's modal window.
struct Sheet {
    QWidget* widget = QApplication::activeModalWidget();
    HWND handle = qortest::handle_of(widget);

    HWND page() const { return reinterpret_cast<HWND>(SendMessageW(handle, PSM_GETCURRENTPAGEHWND, 0, 0)); }
    void tab(int index) const { widget->findChild<QTabWidget*>()->setCurrentIndex(index); }
    void press(const char* name) const {
        QTest::mouseClick(widget->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    template <class W>
    W* control(int id) const {
        return qortest::widget_of<W>(GetDlgItem(page(), id));
    }
    // A user's choice in a drop-down list.
    void choose(int id, int index) const {
        auto* list = control<QComboBox>(id);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    bool shown(int id) const { return IsWindowVisible(GetDlgItem(page(), id)); }
};

// The next modal box, once the current step has opened it.
void WithNextBox(std::function<void(QWidget* box)> step) {
    QTimer::singleShot(0, [step] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        step(box);
    });
}

void Click(QWidget* box, const char* text) {
    for (QPushButton* push : box->findChildren<QPushButton*>())
        if (push->text() == QString::fromLatin1(text)) return QTest::mouseClick(push, Qt::LeftButton);
    ADD_FAILURE() << "no button " << text;
}

class SheetWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        ASSERT_TRUE(spooler.add_printer("QOR ZEM-D", "FILE:", spooler.output_path()));
        ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
        ASSERT_TRUE(uitest::InstallModule());
        InstallHelpFile();
        module = LoadLibraryW(u"QORCPUN7.so");
        library = LoadLibraryW(u"compstui.dll");
        ASSERT_TRUE(module && library);
        document = Export<PFNPROPSHEETUI>(module, "DrvDocumentPropertySheets");
        device = Export<PFNPROPSHEETUI>(module, "DrvDevicePropertySheets");
        properties = Export<BOOL (*)(HWND, HANDLE)>(module, "PrinterProperties");
        run = Export<PFN_CommonPropertySheetUIW>(library, "CommonPropertySheetUIW");
        ASSERT_TRUE(document && device && properties && run);
        PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer, &all));
        expect_boxes("");
    }
    void TearDown() override {
        if (printer) ClosePrinter(printer);
        if (library) FreeLibrary(library);
        if (module) FreeLibrary(module);
    }

    template <class F>
    static F Export(HMODULE from, const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(from, name)));
    }

    static void InstallHelpFile() {
        WCHAR folder[MAX_PATH] = {};
        DWORD needed = 0;
        ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(folder), sizeof folder,
                                               &needed));
        std::string path;
        for (const char16_t* c = folder; *c; ++c) path.push_back(static_cast<char>(*c));
        std::filesystem::copy_file(std::string(QOR_DATA_DIR) + "/qorprt.hlp", path + "/qorprt.hlp",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    void expect_boxes(const std::string& lines) {
        std::ofstream(qortest::sandbox() + "/boxes") << lines;
        std::ofstream(qortest::sandbox() + "/shown").close();
        setenv("QOR_UI_SCRIPT", (qortest::sandbox() + "/boxes").c_str(), 1);
        setenv("QOR_UI_LOG", (qortest::sandbox() + "/shown").c_str(), 1);
    }
    std::string shown() const {
        std::stringstream text;
        text << std::ifstream(qortest::sandbox() + "/shown").rdbuf();
        return text.str();
    }

    // The document sheet for `input` (none: the printer's record) writing
    // into `output`, with `user` acting on it once it is up.
    LONG OpenDocument(EXDEVMODE* output, std::function<void(const Sheet&)> user, const DEVMODEW* input = nullptr) {
        DOCUMENTPROPERTYHEADER header{};
        header.cbSize = sizeof(header);
        header.hPrinter = printer;
        header.pszPrinterName = const_cast<LPWSTR>(kPrinter);
        header.pdmIn = const_cast<DEVMODEW*>(input);
        header.pdmOut = reinterpret_cast<DEVMODEW*>(output);
        header.fMode = DM_IN_PROMPT | DM_OUT_BUFFER | (input ? DM_IN_BUFFER : 0);
        QTimer::singleShot(0, [user] { user(Sheet{}); });
        DWORD result = 0;
        return run(nullptr, document, reinterpret_cast<LPARAM>(&header), &result);
    }
    LONG OpenDevice(std::function<void(const Sheet&)> user, HANDLE on = nullptr) {
        DEVICEPROPERTYHEADER header{};
        header.cbSize = sizeof(header);
        header.hPrinter = on ? on : printer;
        header.pszPrinterName = const_cast<LPWSTR>(kPrinter);
        QTimer::singleShot(0, [user] { user(Sheet{}); });
        DWORD result = 0;
        return run(nullptr, device, reinterpret_cast<LPARAM>(&header), &result);
    }

    DWORD Setting(const char16_t* name) {
        DWORD type = 0, value = 0xFFFF, needed = 0;
        GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, reinterpret_cast<LPBYTE>(&value), 4, &needed);
        return value;
    }
    void SetSetting(const char16_t* name, DWORD value) {
        ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<LPBYTE>(&value), 4),
                  0u);
    }

    qorspool::PrivateSpooler spooler;
    HMODULE module = nullptr;
    HMODULE library = nullptr;
    HANDLE printer = nullptr;
    PFNPROPSHEETUI document = nullptr;
    PFNPROPSHEETUI device = nullptr;
    BOOL (*properties)(HWND, HANDLE) = nullptr;
    PFN_CommonPropertySheetUIW run = nullptr;
};

TEST_F(SheetWindows, OkHandsOutTheEditedRecordAndCancelLeavesTheCallersBuffer) {
    EXDEVMODE edited;
    std::memset(&edited, 0xCC, sizeof(edited));
    EXPECT_EQ(OpenDocument(&edited,
                           [](const Sheet& sheet) {
                               ASSERT_NE(sheet.widget, nullptr);
                               EXPECT_EQ(qortest::text_of(sheet.handle), "QOR ZEM-D Properties");
                               EXPECT_TRUE(qortest::screenshot(sheet.handle, "qorcpun7-paper.png"));
                               QTest::mouseClick(sheet.control<QRadioButton>(1005), Qt::LeftButton);
                               sheet.choose(1003, 1);  // fanfold paper, source 8
                               sheet.tab(1);
                               EXPECT_TRUE(qortest::screenshot(sheet.handle, "qorcpun7-graphics.png"));
                               QTest::mouseClick(sheet.control<QRadioButton>(1105), Qt::LeftButton);
                               QTest::mouseClick(sheet.control<QRadioButton>(1107), Qt::LeftButton);
                               sheet.press("ok");
                           }),
              CPSUI_OK);
    EXPECT_EQ(edited.dm.dmSize, EXDM_PUBLIC_SIZE);
    EXPECT_EQ(edited.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(edited.dm.dmDefaultSource, 8);
    EXPECT_EQ(edited.Bin, 8);
    EXPECT_EQ(edited.dm.dmDitherType, 5u);
    EXPECT_EQ(edited.Quality, 1);
    EXPECT_EQ(edited.dm.dmCopies, 1);

    EXDEVMODE untouched;
    std::memset(&untouched, 0xCC, sizeof(untouched));
    const std::vector<BYTE> before(reinterpret_cast<BYTE*>(&untouched), reinterpret_cast<BYTE*>(&untouched + 1));
    EXPECT_EQ(OpenDocument(&untouched,
                           [](const Sheet& sheet) {
                               QTest::mouseClick(sheet.control<QRadioButton>(1005), Qt::LeftButton);
                               sheet.press("cancel");
                           }),
              CPSUI_CANCEL);
    EXPECT_EQ(0, std::memcmp(before.data(), &untouched, sizeof(untouched)));
}

TEST_F(SheetWindows, DocumentPropertiesPromptsWithTheSheet) {
    std::u16string name = kPrinter;
    EXDEVMODE input{};
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), &input.dm, nullptr, DM_OUT_BUFFER), 1);
    EXDEVMODE output{};
    for (const char* press : {"cancel", "ok"}) {
        QTimer::singleShot(0, [press] {
            Sheet sheet;
            ASSERT_NE(sheet.widget, nullptr);
            QTest::mouseClick(sheet.control<QRadioButton>(1005), Qt::LeftButton);
            sheet.press(press);
        });
        EXPECT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), &output.dm, &input.dm,
                                      DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT),
                  std::string(press) == "ok" ? 1 : 2);
    }
    EXPECT_EQ(input.dm.dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(output.dm.dmOrientation, DMORIENT_LANDSCAPE);
}

TEST_F(SheetWindows, ShowZeroLeavesOnlyTheRestoreButtonsAndAppliesNothing) {
    std::string text = uitest::InstalledDescriptionText();
    const size_t at = text.find("Show=4095");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 9, "Show=0");
    ASSERT_TRUE(uitest::InstallDescription(text));
    EXDEVMODE edited{};
    EXPECT_EQ(OpenDocument(&edited,
                           [](const Sheet& sheet) {
                               for (int id : {1001, 1002, 1003, 1004, 1005, 1008, 1009, 1010, 1011})
                                   EXPECT_FALSE(sheet.shown(id)) << id;
                               EXPECT_TRUE(sheet.shown(1007));
                               EXPECT_TRUE(sheet.shown(1006));
                               sheet.tab(1);
                               for (int id : {1101, 1105, 1106, 1107, 1108, 1109, 1111, 1112, 1113, 1118})
                                   EXPECT_FALSE(sheet.shown(id)) << id;
                               EXPECT_TRUE(sheet.shown(1110));
                               sheet.press("ok");
                           }),
              CPSUI_OK);
    EXDEVMODE plain{};
    EXPECT_EQ(OpenDocument(&plain, [](const Sheet& sheet) { sheet.press("ok"); }), CPSUI_OK);
    EXPECT_EQ(0, std::memcmp(&plain, &edited, sizeof(plain)));
    EXPECT_EQ(edited.dm.dmPaperSize, 768);
    EXPECT_EQ(OpenDevice([](const Sheet& sheet) {
                  for (int id : {1301, 1302, 1303, 1304, 1305, 1307, 1309}) EXPECT_FALSE(sheet.shown(id)) << id;
                  EXPECT_TRUE(sheet.shown(1306));
                  sheet.press("ok");
              }),
              CPSUI_OK);
}

TEST_F(SheetWindows, CustomPaperBoxChecksTheLengthAndCancelKeepsThePaper) {
    SetSetting(u"PAGEMODE", 1);
    expect_boxes("Paper size error|Paper length is not specified.  Enter paper length.|warning|ok\n"
                 "Paper size error|Maximum paper length is 326mm.|warning|ok\n");
    EXDEVMODE edited{};
    EXPECT_EQ(OpenDocument(&edited,
                           [](const Sheet& sheet) {
                               auto* sizes = sheet.control<QComboBox>(1001);
                               const int before = sizes->currentIndex();
                               ASSERT_GE(before, 0);
                               EXPECT_EQ(sizes->itemText(sizes->count() - 1).toStdString(), "Custom paper size");
                               // Cancelled: the paper chosen before comes back.
                               WithNextBox([](QWidget* box) {
                                   EXPECT_TRUE(qortest::screenshot(qortest::handle_of(box), "qorcpun7-custom-paper.png"));
                                   Click(box, "Cancel");
                               });
                               sheet.choose(1001, sizes->count() - 1);
                               EXPECT_EQ(sizes->currentIndex(), before);

                               WithNextBox([](QWidget* box) {
                                   HWND handle = qortest::handle_of(box);
                                   auto* widths = qortest::widget_of<QComboBox>(GetDlgItem(handle, 1401));
                                   auto* length = qortest::widget_of<QLineEdit>(GetDlgItem(handle, 1402));
                                   EXPECT_EQ(widths->currentText().toStdString(), "80 mm");
                                   EXPECT_EQ(length->text().toStdString(), "100");
                                   length->clear();
                                   QTest::keyClicks(length, "1a2");
                                   EXPECT_EQ(length->text().toStdString(), "12");
                                   length->clear();
                                   Click(box, "OK");  // nothing typed
                                   QTest::keyClicks(length, "500");
                                   Click(box, "OK");  // page mode on an 80 mm roll
                                   EXPECT_TRUE(IsWindowVisible(handle));
                                   length->clear();
                                   QTest::keyClicks(length, "300");
                                   Click(box, "OK");
                               });
                               sheet.choose(1001, sizes->count() - 1);
                               EXPECT_EQ(sizes->currentIndex(), sizes->count() - 1);
                               sheet.press("ok");
                           }),
              CPSUI_OK);
    EXPECT_EQ(shown(), "Paper size error|Paper length is not specified.  Enter paper length.|warning|ok\n"
                       "Paper size error|Maximum paper length is 326mm.|warning|ok\n");
    EXPECT_EQ(edited.dm.dmPaperSize, 256);
    EXPECT_EQ(edited.PaperCode, 256);
    EXPECT_EQ(edited.UserPaper.PaperLength, 300);
    EXPECT_EQ(edited.UserPaper.PaperWidth, 80);
    EXPECT_EQ(edited.dm.dmPaperLength, 3000);
    EXPECT_EQ(edited.dm.dmPaperWidth, 800);
}

TEST_F(SheetWindows, LandscapeWithDeviceFontsAsksForPageModeAndTheOptionsPageShowsIt) {
    SetSetting(u"FONT", 1);
    SetSetting(u"PAGEMODE", 0);
    const std::string question =
        "QOR ZEM-D Printer|When using printer fonts in standard mode, landscape under page orientation cannot be "
        "specified.  Ok to change printer settings to page mode?|warning|";
    expect_boxes(question + "no\n" + question + "yes\n");
    EXDEVMODE edited{};
    EXPECT_EQ(OpenDocument(&edited,
                           [](const Sheet& sheet) {
                               QTest::mouseClick(sheet.control<QRadioButton>(1005), Qt::LeftButton);
                               sheet.press("ok");  // No: the sheet stays
                               EXPECT_NE(sheet.page(), nullptr);
                               sheet.press("ok");
                           }),
              CPSUI_OK);
    EXPECT_EQ(shown(), question + "no\n" + question + "yes\n");
    EXPECT_EQ(edited.Mode, 1);
    EXPECT_EQ(Setting(u"PAGEMODE"), 1u);
    EXPECT_EQ(OpenDevice([](const Sheet& sheet) {
                  EXPECT_TRUE(qortest::screenshot(sheet.handle, "qorcpun7-options.png"));
                  EXPECT_TRUE(sheet.control<QCheckBox>(1305)->isChecked());
                  EXPECT_TRUE(sheet.control<QRadioButton>(1302)->isChecked());
                  sheet.choose(1304, 2);  // no cut
                  sheet.press("ok");
              }),
              CPSUI_OK);
    EXPECT_EQ(Setting(u"CUTTER"), 2u);
    EXPECT_EQ(Setting(u"FONT"), 1u);
}

TEST_F(SheetWindows, VersionBoxAndHelpFromTheControlsAndTheSheet) {
    EXDEVMODE edited{};
    OpenDocument(&edited, [](const Sheet& sheet) {
        WithNextBox([](QWidget* box) {
            HWND handle = qortest::handle_of(box);
            EXPECT_EQ(qortest::text_of(GetDlgItem(handle, 1500)), "Version 1.00");
            EXPECT_TRUE(qortest::screenshot(handle, "qorcpun7-version.png"));
            Click(box, "OK");
        });
        QTest::mouseClick(sheet.control<QPushButton>(1006), Qt::LeftButton);
        QTest::keyClick(sheet.control<QRadioButton>(1004), Qt::Key_F1);
        HWND popup = FindWindowW(u"QorHelpPopup", nullptr);
        EXPECT_NE(popup, nullptr);
        EXPECT_TRUE(qortest::screenshot(popup, "qorcpun7-help.png"));
        sheet.press("help");
        sheet.press("cancel");
    });
    EXPECT_EQ(shown(), "@help|popup|22|Orientation\n@help|window|4|QOR ZEM-D printer properties\n");
}

TEST_F(SheetWindows, StrangeHeadersAndStatesAreRefused) {
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = 4;  // too short to be a header
    header.hPrinter = printer;
    PROPSHEETUI_INFO info{};
    info.cbSize = sizeof(info);
    info.lParamInit = reinterpret_cast<LPARAM>(&header);
    EXPECT_EQ(document(&info, info.lParamInit), -1);
    header.cbSize = sizeof(header);
    // A state that is not one of the sheet's own fails its self markers.
    std::vector<ULONG_PTR> stranger(64, 0);
    info.UserData = reinterpret_cast<ULONG_PTR>(stranger.data());
    for (WORD reason : {PROPSHEETUI_REASON_GET_INFO_HEADER, PROPSHEETUI_REASON_SET_RESULT, PROPSHEETUI_REASON_DESTROY}) {
        info.Reason = reason;
        EXPECT_EQ(document(&info, 0), -1) << reason;
    }
    // A sheet function that refuses to start shows nothing.
    EXPECT_EQ(run(nullptr, [](PROPSHEETUI_INFO*, LPARAM) -> LONG { return -1; }, 0, nullptr), ERR_CPSUI_GETLASTERROR);
    EXPECT_EQ(run(nullptr, [](PROPSHEETUI_INFO*, LPARAM) -> LONG { return 1; }, 0, nullptr),
              ERR_CPSUI_NO_PROPSHEETPAGE);
}

TEST_F(SheetWindows, TheHelpFileHasATopicForEveryContext) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    const std::string path = std::string(QOR_DATA_DIR) + "/qorprt.hlp";
    const std::u16string file(path.begin(), path.end());
    for (DWORD context : {4, 14, 20, 21, 22, 23, 30, 31, 32, 33, 40, 41})
        EXPECT_TRUE(WinHelpW(nullptr, file.c_str(), HELP_CONTEXTPOPUP, context)) << context;
    WinHelpW(nullptr, file.c_str(), HELP_QUIT, 0);
}

TEST_F(SheetWindows, PrinterPropertiesOpensForAUserWithoutTheRight) {
    HANDLE user = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &user, nullptr));
    bool opened = false;
    QTimer::singleShot(0, [&] {
        Sheet sheet;
        ASSERT_NE(sheet.widget, nullptr);
        opened = true;
        sheet.choose(1304, 1);
        sheet.press("ok");
    });
    properties(nullptr, user);
    ClosePrinter(user);
    EXPECT_TRUE(opened);
    // Without the right, nothing reached the printer; the sheet said nothing.
    EXPECT_EQ(Setting(u"Permission"), 0xFFFFu);
    EXPECT_EQ(Setting(u"CUTTER"), 0xFFFFu);
    EXPECT_EQ(shown(), "");
}

}  // namespace
