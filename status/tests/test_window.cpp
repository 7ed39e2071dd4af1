// The settings dialog on real Qt widgets (offscreen), clicked as a user
// would, with another process reading what it wrote.
#include "resource.h"
#include "settings_dialog.h"

#include "qortest.h"
#include "qortest_ui.h"
#include "qor/kernel.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using qortest::text_of;
using qortest::widget_of;

// What a second process reads from the hive.
std::string read_elsewhere(const std::vector<std::string>& names) {
    qortest::Output result = qortest::run(qortest::bin_dir() + "/status_helper_settings", names);
    EXPECT_EQ(0, result.status) << result.err;
    return result.out;
}

class StatusWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = status::create_settings_dialog(model);
        ASSERT_NE(nullptr, dialog);
    }
    void TearDown() override { DestroyWindow(dialog); }

    QCheckBox* use() { return widget_of<QCheckBox>(GetDlgItem(dialog, IDC_USE_INDICATIONS)); }
    QListWidget* list() { return widget_of<QListWidget>(GetDlgItem(dialog, IDC_CONDITIONS)); }
    QPushButton* renew() { return widget_of<QPushButton>(GetDlgItem(dialog, IDC_RENEW)); }

    status::StatusSettings settings;
    status::StatusModel model{settings};
    HWND dialog = nullptr;
};

TEST_F(StatusWindow, ShowsTheTextsAndStartsSwitchedOff) {
    EXPECT_EQ("QOR status monitor setting program", text_of(dialog));
    EXPECT_EQ("Use the status indications ", text_of(GetDlgItem(dialog, IDC_USE_INDICATIONS)));
    EXPECT_EQ("Please choose some indications.", text_of(GetDlgItem(dialog, IDC_HINT)));
    EXPECT_EQ("Renew(&R)", text_of(GetDlgItem(dialog, IDC_RENEW)));
    EXPECT_EQ("Close (&C)", text_of(GetDlgItem(dialog, IDCANCEL)));
    ASSERT_NE(nullptr, list());
    ASSERT_EQ(7, list()->count());
    EXPECT_EQ("A printer is off-line condition.", list()->item(0)->text().toStdString());
    EXPECT_EQ("A printer is out of paper.", list()->item(6)->text().toStdString());
    EXPECT_FALSE(use()->isChecked());
    EXPECT_FALSE(list()->isEnabled());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_HINT)));
    EXPECT_FALSE(renew()->isEnabled());
    EXPECT_TRUE(qortest::screenshot(dialog, "status-off.png"));
}

TEST_F(StatusWindow, ClicksWriteTheHiveAnotherProcessReads) {
    QTest::mouseClick(use(), Qt::LeftButton);
    EXPECT_TRUE(list()->isEnabled());
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_HINT)));
    EXPECT_TRUE(renew()->isEnabled());
    for (int row = 0; row < list()->count(); ++row) list()->item(row)->setCheckState(Qt::Checked);
    EXPECT_TRUE(qortest::screenshot(dialog, "status-all.png"));
    QTest::mouseClick(renew(), Qt::LeftButton);
    EXPECT_FALSE(renew()->isEnabled());
    EXPECT_EQ("1=9A004060\n0=00000000\nEnable=01\nLM\\ReadInterval=F5010000\n1_last=9A004060\n",
              read_elsewhere({"1", "0", "Enable", "LM\\ReadInterval", "1_last"}));

    QTest::mouseClick(use(), Qt::LeftButton);  // off
    EXPECT_EQ(Qt::Unchecked, list()->item(0)->checkState());
    QTest::mouseClick(renew(), Qt::LeftButton);
    EXPECT_EQ("1=00000000\n0=00000000\nEnable=00\nLM\\ReadInterval=F4010000\n1_last=9A004060\n",
              read_elsewhere({"1", "0", "Enable", "LM\\ReadInterval", "1_last"}));
    QTest::mouseClick(use(), Qt::LeftButton);  // on again: the marks come back
    EXPECT_EQ(Qt::Checked, list()->item(3)->checkState());
}

TEST_F(StatusWindow, TheSystemMenuCarriesTheVersionItem) {
    HMENU system = GetSystemMenu(dialog, FALSE);
    ASSERT_EQ(3, GetMenuItemCount(system)) << "the layer's Close, the separator, the version item";
    EXPECT_TRUE(GetMenuState(system, 1, MF_BYPOSITION) & MF_SEPARATOR);
    char16_t text[64] = {};
    GetMenuStringW(system, IDM_ABOUTBOX, reinterpret_cast<LPWSTR>(text), 64, MF_BYCOMMAND);
    EXPECT_EQ(u"Version infomation (&A)...", std::u16string(text));

    // Shown for real once, for the screenshot, then dismissed.
    QTimer::singleShot(0, [] {
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(nullptr, menu);
        if (const char* dir = std::getenv("QOR_SCREENSHOT_DIR")) {
            EXPECT_TRUE(menu->grab().save(QString::fromUtf8(dir) + "/status-system-menu.png"));
        }
        menu->close();
    });
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog), MAKELONG(100, 100));

    // Chosen through the script: the command opens the version box.
    std::string script = std::string(std::getenv("QOR_ROOT")) + "/system-menu.script";
    std::ofstream(script) << "@menu|Version infomation (A)...\n";
    setenv("QOR_UI_SCRIPT", script.c_str(), 1);
    bool opened = false;
    // The box opens when the posted WM_SYSCOMMAND is dispatched; it is
    // closed from inside its modal loop.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        opened = box->windowTitle() == "Version infomation";
        for (QPushButton* button : box->findChildren<QPushButton*>()) QTest::mouseClick(button, Qt::LeftButton);
    });
    closer.start(5);
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog), -1);
    unsetenv("QOR_UI_SCRIPT");
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened; }, 5000));
    closer.stop();
    EXPECT_TRUE(opened);
}

TEST_F(StatusWindow, VersionBoxFromTheSystemMenuCommand) {
    std::string title, version;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(nullptr, box);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == "Status setting program") title = label->text().toStdString();
            if (label->text() == "Version 1.01") version = label->text().toStdString();
        }
        EXPECT_TRUE(qortest::screenshot(qortest::handle_of(box), "status-version.png"));
        for (QPushButton* button : box->findChildren<QPushButton*>())
            if (button->text() == "OK") QTest::mouseClick(button, Qt::LeftButton);
    });
    SendMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ("Status setting program", title);
    EXPECT_EQ("Version 1.01", version);
}

TEST(StatusProgram, SecondStartEndsSilently) {
    auto first = qortest::Child::spawn(qortest::bin_dir() + "/status", {});
    ASSERT_TRUE(qortest::eventually([] {
        HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, status::kMutexName);
        if (mutex) CloseHandle(mutex);
        return mutex != nullptr;
    }, std::chrono::seconds(20)));
    qortest::Output second = qortest::run(qortest::bin_dir() + "/status", {}, std::chrono::seconds(20));
    EXPECT_EQ(0, second.status);
    EXPECT_EQ("", second.out);
    EXPECT_EQ("", second.err);
    EXPECT_TRUE(first.running());
    first.kill();
}

}  // namespace
