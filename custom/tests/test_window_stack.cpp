// The setup tool's main window over the whole stack: qorspoold with the
// model module and QORLM2K, and qoremu behind COM1.
#include "form_rules.h"
#include "main_window.h"
#include "platform_system.h"
#include "resource.h"

#include "cil_stack.h"
#include "qortest.h"
#include "qortest_ui.h"

#include "qor/spooler.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace custom;
using qortest::text_of;
using qortest::widget_of;

namespace {

class CustomWindowStack : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stack.ok());
        // The emulator's factory byte 3, C8: 38400 bps, 8 bits, no parity, one stop bit, BUSY.
        ASSERT_TRUE(QorConfigurePortW(u"COM1", nullptr, u"38400,n,8,1,p"));
        log_ = qortest::sandbox() + "/boxes.log";
        setenv("QOR_UI_LOG", log_.c_str(), 1);
    }
    void TearDown() override {
        if (main) DestroyWindow(main);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        unsetenv("QOR_UI_SCRIPT");
        unsetenv("QOR_UI_LOG");
    }
    void expect_boxes(const std::string& lines) {
        static int count = 0;
        std::string path = qortest::sandbox() + "/script" + std::to_string(++count);
        std::ofstream(path, std::ios::binary) << lines;
        setenv("QOR_UI_SCRIPT", path.c_str(), 1);
    }
    std::string shown() const {
        std::ifstream file(log_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // The program's start-up, up to its shown main window.
    void start() {
        ASSERT_TRUE(tool.bind_library());
        ASSERT_TRUE(tool.find_printer());
        library.release();
        main = custom_window::create_main_window(state);
        ASSERT_NE(main, nullptr);
        custom_window::initialise_form(main);
        ShowWindow(main, SW_SHOW);
        form = custom_window::form_of(main);
    }
    QComboBox* combo(int id) { return widget_of<QComboBox>(GetDlgItem(form, id)); }
    int stat(const std::string& key) {
        const std::string v = stack.stat(key);
        return v.empty() ? -1 : std::stoi(v);
    }
    void pump_until(const std::function<bool()>& done) {
        EXPECT_TRUE(QTest::qWaitFor(done, 20000));
    }

    ciltest::PrinterStack stack;
    custom_window::WindowHost host;
    QorcilLibrary library;
    SpoolerSystem system;
    SetupTool tool{host, library, system};
    custom_window::MainState state{tool, host, {}, false, {}};
    HWND main = nullptr, form = nullptr;
    std::string log_;
};

}  // namespace

TEST_F(CustomWindowStack, StartUpShowsTheFactorySettingsAndAWriteReachesTheEmulator) {
    start();
    EXPECT_EQ(text_of(GetDlgItem(QorUiFramePart(main, QOR_FRAME_BAR), IDC_PRINTER_NAME)), ciltest::PrinterStack::kPrinter);
    ASSERT_TRUE(tool.acquired()) << shown();
    EXPECT_EQ(combo(IDC_DENSITY)->currentText(), "100%");
    EXPECT_EQ(combo(IDC_BAUD)->currentText(), "38400 bps");
    EXPECT_EQ(combo(IDC_FLOW)->currentText(), "BUSY");

    const int tickets = stat("tickets");
    combo(IDC_DENSITY)->setCurrentIndex(7);  // 140%
    emit combo(IDC_DENSITY)->activated(7);
    combo(IDC_PAPER_WIDTH)->setCurrentIndex(4);  // 80 mm
    emit combo(IDC_PAPER_WIDTH)->activated(4);
    expect_boxes("QOR Hardware Setting Tool| Setting was completed.  Do you print a result? |none|yes\n");
    auto* set_printer = widget_of<QPushButton>(GetDlgItem(QorUiFramePart(main, QOR_FRAME_BAR), ID_WRITE));
    QTest::mouseClick(set_printer, Qt::LeftButton);
    pump_until([&] { return stat("tickets") > tickets; });
    EXPECT_EQ(stack.setting_bytes(), (std::vector<int>{0x18, 0x0F, 0x04, 0xC8}));
    EXPECT_EQ(shown(), "QOR Hardware Setting Tool| Setting was completed.  Do you print a result? |none|yes\n");

    const int resets = stat("resets");
    SendMessageW(main, WM_COMMAND, ID_RESET, 0);
    EXPECT_EQ(stat("resets"), resets + 1);
}

TEST_F(CustomWindowStack, AHostPortAtAnotherSpeedIsReportedAndLeavesTheFormDisabled) {
    ASSERT_TRUE(QorConfigurePortW(u"COM1", nullptr, u"9600,n,8,1,p"));
    expect_boxes("Error message|Mismatch [Bit per second] port setting of Host and Printer|error|ok\n");
    start();
    EXPECT_FALSE(tool.acquired());
    EXPECT_EQ(shown(), "Error message|Mismatch [Bit per second] port setting of Host and Printer|error|ok\n");
    EXPECT_FALSE(combo(IDC_DENSITY)->isEnabled());
}

TEST_F(CustomWindowStack, ASecondStartRaisesTheFirstWindow) {
    auto first = qortest::Child::spawn(qortest::bin_dir() + "/custom", {});
    HWND window = nullptr;
    ASSERT_TRUE(qortest::eventually([&] {
        window = FindWindowW(nullptr, u"QOR Printer Hardware Setup");
        return window != nullptr && GetPropW(window, u"custom") != nullptr;
    }, std::chrono::seconds(30)));
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(qortest::eventually([&] { return IsIconic(window) != FALSE; }));
    qortest::Output second = qortest::run(qortest::bin_dir() + "/custom", {}, std::chrono::seconds(20));
    EXPECT_EQ(0, second.status);
    EXPECT_EQ("", second.err);
    EXPECT_TRUE(qortest::eventually([&] { return IsIconic(window) == FALSE; }));
    EXPECT_TRUE(first.running());
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, first.wait(std::chrono::seconds(20)));
}
