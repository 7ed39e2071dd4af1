// QORSM's windows on real Qt widgets (offscreen): the pop-up box's timing
// and persistence, its owner-drawn line, the tray icon, the version box and
// the main frame's messages.
#include "main_frame.h"
#include "monitor_windows.h"
#include "notify_table.h"
#include "popup_dialog.h"
#include "resource.h"

#include "qortest_ui.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using namespace qor::statmon;
using Clock = std::chrono::steady_clock;

namespace {

class FakeDirectory final : public PrinterDirectory {
public:
    std::map<std::string, DWORD> printers;
    int lookups = 0;
    std::optional<DWORD> attributes_of(const std::string& name, bool& opened) override {
        ++lookups;
        opened = false;
        auto it = printers.find(name);
        if (it == printers.end()) return std::nullopt;
        opened = true;
        return it->second;
    }
    std::vector<PrinterEntry> local_printers() override { return {}; }
    void wake_monitor(const std::string&) override {}
};

std::string read_file(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class MonitorWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        log = std::string(getenv("QOR_ROOT")) + "/ui.log";
        std::remove(log.c_str());
        setenv("QOR_UI_LOG", log.c_str(), 1);
        directory.printers["Kiosk"] = PRINTER_ATTRIBUTE_ENABLE_BIDI;
        write_masks();
        ASSERT_EQ(StartUp::Run, app.start_up("/P:Kiosk"));
        ASSERT_TRUE(windows.create());
    }
    void TearDown() override { unsetenv("QOR_UI_LOG"); }

    static void write_masks() {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        DWORD all = 0xFFFFFFFF;
        RegSetValueExA(key, "1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&all), sizeof all);
        RegSetValueExA(key, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&all), sizeof all);
        RegCloseKey(key);
    }

    // Posts as the worker does and lets the view and the box handle it.
    void notify(UINT message, DWORD persistent) {
        windows.post_notify(message, persistent);
        QTest::qWait(20);
    }
    bool box_open() const { return windows.popup() != nullptr; }
    bool box_visible() const { return windows.popup() && IsWindowVisible(windows.popup()->hwnd()); }
    QListWidget* list() const {
        return qortest::widget_of<QListWidget>(GetDlgItem(windows.popup()->hwnd(), IDC_MESSAGE_LIST));
    }
    // Milliseconds from `start` until the box is gone, or -1 when it stays
    // `limit_ms` longer.
    int closes_within(int limit_ms, Clock::time_point start = Clock::now()) {
        if (!QTest::qWaitFor([&] { return !box_open(); }, limit_ms)) return -1;
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }

    FakeDirectory directory;
    CStatusMonitorApp app{directory};
    MonitorWindows windows{app};
    std::string log;
};

TEST_F(MonitorWindowsTest, HiddenFrameWithItsViewAndTrayIcon) {
    ASSERT_NE(nullptr, windows.frame());
    EXPECT_EQ("QOR KIOSK Printer Status Monitor", qortest::text_of(windows.frame()));
    EXPECT_FALSE(IsWindowVisible(windows.frame()));
    EXPECT_EQ(windows.frame(), GetParent(windows.view()));
    EXPECT_EQ(windows.frame(), FindWindowW(reinterpret_cast<LPCWSTR>(kFrameClass), reinterpret_cast<LPCWSTR>(kFrameTitle)));
    EXPECT_EQ("@tray|add|QOR Printer\n", read_file(log));
    // A left click and the tray's other mouse messages do nothing.
    SendMessageW(windows.view(), WM_PSM_TRAYICON, kTrayIconId, WM_LBUTTONUP);
    SendMessageW(windows.view(), WM_PSM_TRAYICON, kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(nullptr, QApplication::activePopupWidget());
}

TEST_F(MonitorWindowsTest, CloseFromAnywhereStopsAndRemovesTheTrayIcon) {
    notify(20009, 1);
    ASSERT_TRUE(box_open());
    HWND frame = windows.frame(), view = windows.view();
    SendMessageW(frame, WM_PSM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(view));
    EXPECT_FALSE(box_open());
    EXPECT_FALSE(windows.popup_visible());
    EXPECT_EQ("@tray|add|QOR Printer\n@popup|persistent|The printer is out of paper.\n@popup|closed|\n"
              "@tray|delete|QOR Printer\n",
              read_file(log));
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop ends";
}

TEST_F(MonitorWindowsTest, RightButtonOnTheTrayIconOffersVersionAndExit) {
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    ASSERT_NE(nullptr, menu);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_EQ(2, GetMenuItemCount(popup));
    WCHAR text[64] = {};
    GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(u"Version(&V)"), reinterpret_cast<const char16_t*>(text));
    EXPECT_EQ(static_cast<UINT>(ID_TRAY_VERSION), GetMenuItemID(popup, 0));
    GetMenuStringW(popup, 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(u"Exit(&X)"), reinterpret_cast<const char16_t*>(text));
    EXPECT_EQ(static_cast<UINT>(ID_TRAY_EXIT), GetMenuItemID(popup, 1));
    DestroyMenu(menu);

    // The real menu as the user sees it, then the scripted choice of Exit.
    std::string shot;
    QTimer::singleShot(50, [&] {
        QWidget* shown = QApplication::activePopupWidget();
        ASSERT_NE(nullptr, shown);
        if (const char* dir = getenv("QOR_SCREENSHOT_DIR")) shown->grab().save(QString(dir) + "/qorsm-tray-menu.png");
        shot = "seen";
        shown->close();
    });
    SendMessageW(windows.view(), WM_PSM_TRAYICON, kTrayIconId, WM_RBUTTONDOWN);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shot.empty(); }, 2000));
    EXPECT_EQ("seen", shot);

    const std::string script = std::string(getenv("QOR_ROOT")) + "/menu.script";
    std::ofstream(script) << "@menu|Exit(&X)\n";
    setenv("QOR_UI_SCRIPT", script.c_str(), 1);
    HWND frame = windows.frame();
    EXPECT_EQ(TRUE, SendMessageW(windows.view(), WM_PSM_TRAYICON, kTrayIconId, WM_RBUTTONDOWN));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !IsWindow(frame); }, 2000));
    unsetenv("QOR_UI_SCRIPT");
    EXPECT_FALSE(IsWindow(frame)) << "Exit destroys the main frame";
    MSG quit{};
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST_F(MonitorWindowsTest, TrayExitDestroysTheFrame) {
    HWND frame = windows.frame();
    SendMessageW(windows.view(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_NE(std::string::npos, read_file(log).find("@tray|delete|QOR Printer"));
    MSG quit{};
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST_F(MonitorWindowsTest, OnlyMonitorMessagesShowTheBox) {
    notify(19999, 1);
    EXPECT_TRUE(box_open()) << "the box is made for any notification";
    EXPECT_FALSE(box_visible()) << "ids below 20000 are not the monitor's";
    notify(0, 0);
    EXPECT_FALSE(box_visible()) << "no message: passed on without showing";
    EXPECT_FALSE(windows.popup_visible());
    notify(20200, 1);
    ASSERT_TRUE(box_visible());
    EXPECT_TRUE(windows.popup_visible()) << "what the worker sees";
    EXPECT_EQ(20200u, windows.popup()->message());
    EXPECT_EQ("QOR Printer Status", qortest::text_of(windows.popup()->hwnd()));
}

TEST_F(MonitorWindowsTest, TwoPersistentMessagesKeepTheBoxWithTheSecond) {
    notify(20009, 1);
    notify(20007, 1);
    EXPECT_EQ(-1, closes_within(2300));
    ASSERT_TRUE(box_visible());
    EXPECT_EQ(20007u, windows.popup()->message());
    EXPECT_TRUE(windows.popup()->persistent());
    // OK closes it; the next notification makes a new one.
    QTest::mouseClick(qortest::widget_of<QPushButton>(GetDlgItem(windows.popup()->hwnd(), IDOK)), Qt::LeftButton);
    EXPECT_FALSE(box_open());
    notify(20008, 0);
    EXPECT_TRUE(box_visible());
}

TEST_F(MonitorWindowsTest, PersistentThenPassingClosesTwoSecondsAfterTheSecond) {
    notify(20009, 1);
    QTest::qWait(500);
    const auto second = Clock::now();
    notify(20008, 0);
    const int closed = closes_within(3000, second);
    EXPECT_GE(closed, 1900);
    EXPECT_LE(closed, 2600);
    EXPECT_NE(std::string::npos,
              read_file(log).find("@popup|persistent|The printer is out of paper.\n"
                                  "@popup|passing|Printer paper is prepared.\n@popup|closed|\n"));
}

TEST_F(MonitorWindowsTest, PassingThenPersistentStaysWhenTheTimerFires) {
    notify(20008, 0);
    QTest::qWait(500);
    notify(20009, 1);
    EXPECT_EQ(-1, closes_within(2000)) << "the first message's timer finds the flag set";
    ASSERT_TRUE(box_visible());
    EXPECT_EQ(20009u, windows.popup()->message());
    // Escape closes it as OK does.
    QTest::keyClick(qortest::widget_of<QWidget>(windows.popup()->hwnd()), Qt::Key_Escape);
    QTest::qWait(20);
    EXPECT_FALSE(box_open());
}

TEST_F(MonitorWindowsTest, LongMessageWrapsInsideTheList) {
    notify(kMessageNoBidi, 1);
    ASSERT_TRUE(box_visible());
    QListWidget* line = list();
    ASSERT_NE(nullptr, line);
    ASSERT_EQ(1, line->count());
    // Item 0 is as high as the box's client area.
    RECT client{};
    GetClientRect(windows.popup()->hwnd(), &client);
    EXPECT_EQ(client.bottom, SendMessageW(GetDlgItem(windows.popup()->hwnd(), IDC_MESSAGE_LIST), LB_GETITEMHEIGHT, 0, 0));
    QImage picture = line->viewport()->grab().toImage();
    // Rows with ink: the text takes more than one line, and no ink is cut
    // off at the right edge.
    int ink_rows = 0, first = -1, last = -1;
    bool right_edge_ink = false;
    for (int y = 0; y < picture.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) < 128) {
                ink = true;
                if (x >= picture.width() - 1) right_edge_ink = true;
            }
        if (ink) {
            ++ink_rows;
            if (first < 0) first = y;
            last = y;
        }
    }
    const int line_height = line->fontMetrics().height();
    EXPECT_GT(last - first, line_height) << "more than one line of text";
    EXPECT_GT(ink_rows, 0);
    EXPECT_FALSE(right_edge_ink);
    EXPECT_TRUE(qortest::screenshot(windows.popup()->hwnd(), "qorsm-popup.png"));
}

TEST_F(MonitorWindowsTest, MessageFontIsLightTenPointArialOrTheDefault) {
    notify(20009, 1);
    ASSERT_TRUE(box_open());
    const LOGFONTW& font = windows.popup()->message_font();
    HDC hdc = GetDC(GetDlgItem(windows.popup()->hwnd(), IDC_MESSAGE_LIST));
    ASSERT_NE(nullptr, hdc);
    const int dpi = GetDeviceCaps(hdc, LOGPIXELSY);
    ReleaseDC(nullptr, hdc);
    if (font.lfFaceName[0]) {
        EXPECT_EQ(-(10 * dpi + 36) / 72, font.lfHeight);
        EXPECT_EQ(FW_LIGHT, font.lfWeight);
    } else {
        const LOGFONTW zero{};
        EXPECT_EQ(0, std::memcmp(&zero, &font, sizeof zero)) << "no Arial: the all-zero description";
    }
}

TEST_F(MonitorWindowsTest, VersionBoxTwiceBringsTheOpenOneForward) {
    int boxes_seen = 0;
    std::string title, version;
    QTimer::singleShot(0, [&] {
        // The second request arrives while the first box runs.
        SendMessageW(windows.view(), WM_COMMAND, ID_TRAY_VERSION, 0);
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(nullptr, box);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->windowTitle() == "Version") ++boxes_seen;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == "QOR Printer Status Monitor") title = label->text().toStdString();
            if (label->text() == "Version 1.03") version = label->text().toStdString();
        }
        EXPECT_TRUE(qortest::screenshot(qortest::handle_of(box), "qorsm-version.png"));
        for (QPushButton* button : box->findChildren<QPushButton*>())
            if (button->text() == "OK") QTest::mouseClick(button, Qt::LeftButton);
    });
    SendMessageW(windows.view(), WM_COMMAND, ID_TRAY_VERSION, 0);
    EXPECT_EQ(1, boxes_seen);
    EXPECT_EQ("QOR Printer Status Monitor", title);
    EXPECT_EQ("Version 1.03", version);
    EXPECT_EQ(nullptr, windows.version_box());
}

TEST_F(MonitorWindowsTest, DevicesChangeAndOwnDevmodeChangeRecheckThePrinter) {
    directory.printers["Kiosk"] = 0;  // two-way support switched off
    const int before = directory.lookups;
    SendMessageW(windows.frame(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(u"windows"));
    SendMessageW(windows.frame(), WM_DEVMODECHANGE, 0, reinterpret_cast<LPARAM>(u"Other printer"));
    EXPECT_EQ(before, directory.lookups) << "neither concerns this printer";
    SendMessageW(windows.frame(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(u"Devices"));
    EXPECT_EQ(0u, app.printer_attributes() & PRINTER_ATTRIBUTE_ENABLE_BIDI);
    directory.printers["Kiosk"] = PRINTER_ATTRIBUTE_ENABLE_BIDI;
    SendMessageW(windows.frame(), WM_DEVMODECHANGE, 0, reinterpret_cast<LPARAM>(u"kiosk"));
    EXPECT_NE(0u, app.printer_attributes() & PRINTER_ATTRIBUTE_ENABLE_BIDI);
}

TEST(MonitorResources, TheIconLoadsOnceForTrayAndVersionBox) {
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_MONITOR));
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(icon, LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_MONITOR))) << "a shared icon";
}

TEST(MonitorStrings, EveryAnnouncedMessageHasItsText) {
    for (const NotifyEntry& row : notify_table())
        for (UINT id : {row.raised_message, row.cleared_message}) {
            if (!id) continue;
            char text[256] = {};
            ASSERT_GT(LoadStringA(nullptr, id, text, sizeof text), 0) << id;
            EXPECT_STREQ(message_text(id), text) << id;
        }
    for (UINT id : {kMessageUnreachable, kMessageNoBidi, kMessageSetupChanged, kMessageSetupFailed}) {
        char text[256] = {};
        LoadStringA(nullptr, id, text, sizeof text);
        EXPECT_STREQ(message_text(id), text) << id;
    }
}

}  // namespace
