// Menus, the system menu, tracked pop-ups through the test script, menu
// bars and accelerators.
#include "menu_text.h"
#include "ui_fixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr UINT kNone = static_cast<UINT>(-1);

struct Seen {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<Seen> seen;
// What the owner enables when asked about a pop-up (WM_INITMENUPOPUP).
UINT enable_on_init = 0;

LRESULT owner_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITMENUPOPUP || message == WM_COMMAND || message == WM_SYSCOMMAND || message == WM_MENUSELECT)
        seen.push_back({message, wparam, lparam});
    if (message == WM_INITMENUPOPUP && enable_on_init)
        EnableMenuItem(reinterpret_cast<HMENU>(wparam), enable_on_init, MF_ENABLED);
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_owner() {
    static bool registered = [] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = owner_proc;
        window_class.lpszClassName = u"MenuOwner";
        return RegisterClassExW(&window_class) != 0;
    }();
    EXPECT_TRUE(registered);
    seen.clear();
    enable_on_init = 0;
    return CreateWindowExW(0, u"MenuOwner", u"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                           nullptr, nullptr, nullptr);
}

// Dispatches what is queued for the calling thread.
void pump() {
    MSG message;
    QCoreApplication::processEvents();
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT) DispatchMessageW(&message);
}

std::vector<Seen> seen_of(UINT message) {
    std::vector<Seen> found;
    for (const Seen& s : seen)
        if (s.message == message) found.push_back(s);
    return found;
}

// File: Open (100), separator, Recent > Last (102), Exit (101); Help (200).
HMENU sample_bar(HMENU* file_out = nullptr, HMENU* recent_out = nullptr) {
    HMENU bar = CreateMenu(), file = CreatePopupMenu(), recent = CreatePopupMenu();
    AppendMenuW(recent, MF_STRING | MF_GRAYED, 102, u"&Last");
    AppendMenuW(file, MF_STRING, 100, u"&Open...\tCtrl+O");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), u"&Recent");
    AppendMenuW(file, MF_STRING, 101, u"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"&File");
    AppendMenuW(bar, MF_STRING, 200, u"&Help");
    if (file_out) *file_out = file;
    if (recent_out) *recent_out = recent;
    return bar;
}

std::string write_file(const std::string& name, const std::string& text) {
    std::string path = std::string(getenv("QOR_ROOT")) + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class Scripted : public ::testing::Test {
protected:
    void answer(const std::string& lines) {
        log_ = std::string(getenv("QOR_ROOT")) + "/menus.log";
        std::remove(log_.c_str());
        setenv("QOR_UI_LOG", log_.c_str(), 1);
        // A new name each time: the layer reads a script again only when
        // QOR_UI_SCRIPT names another file.
        static int count = 0;
        setenv("QOR_UI_SCRIPT", write_file("menus" + std::to_string(++count) + ".script", lines).c_str(), 1);
    }
    std::string shown() const { return read_file(log_); }
    void TearDown() override {
        unsetenv("QOR_UI_SCRIPT");
        unsetenv("QOR_UI_LOG");
    }
    std::string log_;
};

TEST(MenuText, LabelsDropMnemonicsAndShortcuts) {
    EXPECT_EQ(qorui::menu_label(u"Load &Files...\tCtrl+O"), u"Load Files...");
    EXPECT_EQ(qorui::menu_label(u"Fish && &Chips"), u"Fish & Chips");
    EXPECT_EQ(qorui::menu_label(u"Trailing&"), u"Trailing");
    EXPECT_TRUE(qorui::menu_text_matches(u"Version infomation (&A)...", u"Version infomation (A)..."));
    EXPECT_TRUE(qorui::menu_text_matches(u"&Save\tCtrl+S", u"&Save"));
    EXPECT_FALSE(qorui::menu_text_matches(u"&Save\tCtrl+S", u"Save\tCtrl+S"));
    EXPECT_FALSE(qorui::menu_text_matches(u"", u""));
}

TEST(Menus, ItemsAreFoundByCommandThroughSubmenusAndByPosition) {
    HMENU file = nullptr, recent = nullptr;
    HMENU bar = sample_bar(&file, &recent);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(GetSubMenu(bar, 0), file);
    EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
    EXPECT_EQ(GetMenuItemID(file, 2), kNone) << "a submenu has no id";
    EXPECT_EQ(GetMenuItemID(file, 3), 101u);
    EXPECT_EQ(GetMenuItemID(file, 9), kNone);

    EXPECT_EQ(EnableMenuItem(bar, 102, MF_ENABLED), static_cast<UINT>(MF_GRAYED)) << "found two levels down";
    EXPECT_EQ(EnableMenuItem(bar, 102, MF_DISABLED | MF_GRAYED), static_cast<UINT>(MF_ENABLED));
    EXPECT_EQ(GetMenuState(recent, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED), static_cast<UINT>(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(EnableMenuItem(bar, 999, MF_GRAYED), kNone);
    EXPECT_EQ(EnableMenuItem(file, 7, MF_BYPOSITION | MF_GRAYED), kNone);
    EXPECT_EQ(CheckMenuItem(bar, 101, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(bar, 101, MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_TRUE(GetMenuState(file, 2, MF_BYPOSITION) & MF_POPUP);

    EXPECT_TRUE(InsertMenuW(file, 101, MF_BYCOMMAND | MF_STRING, 103, u"&Print"));
    EXPECT_EQ(GetMenuItemID(file, 3), 103u) << "inserted before Exit";
    EXPECT_FALSE(InsertMenuW(file, 555, MF_BYCOMMAND | MF_STRING, 104, u"nowhere"));
    EXPECT_TRUE(InsertMenuW(file, 0, MF_BYPOSITION | MF_STRING, 105, u"&New"));
    EXPECT_EQ(GetMenuItemID(file, 0), 105u);
    char16_t text[32] = {};
    EXPECT_EQ(GetMenuStringW(bar, 100, reinterpret_cast<LPWSTR>(text), 32, MF_BYCOMMAND), 15);
    EXPECT_EQ(std::u16string(text), u"&Open...\tCtrl+O");

    EXPECT_FALSE(AppendMenuW(bar, MF_POPUP, 12345, u"not a menu"));
    EXPECT_TRUE(DeleteMenu(file, 3, MF_BYPOSITION)) << "Recent, with its submenu";
    EXPECT_FALSE(IsMenu(recent));
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(file)) << "submenus go with their menu";
    EXPECT_FALSE(DestroyMenu(bar));
    EXPECT_EQ(GetMenuItemCount(bar), -1);
}

TEST(Menus, TemplatesLoadWithSeparatorsAndNestedPopupsAndTruncationFails) {
    uitest::Bytes b;
    b.word(0); b.word(0);
    b.word(0x10); b.text(u"&Load");
    b.word(0); b.word(1020); b.text(u"Load the &Printer");
    b.word(0x10); b.text(u"Load &Default");
    b.word(0); b.word(61204); b.text(u"ZEM-D510x");
    b.word(0x80 | 0x01); b.word(105); b.text(u"ZEM-D610x");
    b.word(0); b.word(0); b.text(u"");
    b.word(0x80); b.word(57665); b.text(u"E&xit");
    b.word(0x80); b.word(57664); b.text(u"&Version");
    HMENU bar = LoadMenuIndirectW(b.data.data(), static_cast<DWORD>(b.data.size()));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    HMENU load = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(load), 4);
    EXPECT_TRUE(GetMenuState(load, 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(load, 1), 1), 105u);
    EXPECT_EQ(GetMenuState(bar, 105, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuItemID(bar, 1), 57664u);
    DestroyMenu(bar);
    for (size_t cut : {size_t{3}, b.data.size() / 2, b.data.size() - 1})
        EXPECT_EQ(LoadMenuIndirectW(b.data.data(), static_cast<DWORD>(cut)), nullptr) << cut;
    EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(4242)), nullptr);
}

TEST_F(Scripted, TrackedMenusTakeTheScriptedItemAfterTheOwnerEnabledIt) {
    HWND owner = make_owner();
    HMENU file = nullptr;
    HMENU bar = sample_bar(&file);
    answer("@menu|Last\n@menu|Open...\n@menu|\n");
    enable_on_init = 102;
    EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, 5, 5, owner, nullptr), 102);
    auto inits = seen_of(WM_INITMENUPOPUP);
    ASSERT_EQ(inits.size(), 2u) << "the pop-up, then Recent on the way to Last";
    EXPECT_EQ(inits[1].lparam, MAKELONG(2, 0));
    EXPECT_EQ(seen_of(WM_MENUSELECT).back().lparam, 0) << "the menu ends with a closing WM_MENUSELECT";
    EXPECT_TRUE(seen_of(WM_COMMAND).empty()) << "TPM_RETURNCMD posts nothing";

    seen.clear();
    EXPECT_TRUE(TrackPopupMenuEx(file, TPM_NONOTIFY, 5, 5, owner, nullptr));
    EXPECT_TRUE(seen_of(WM_INITMENUPOPUP).empty());
    pump();
    ASSERT_EQ(seen_of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(seen_of(WM_COMMAND)[0].wparam, 100u);
    EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, 5, 5, owner, nullptr), 0) << "dismissed";
    EXPECT_EQ(shown(), "@menu|Last\n@menu|Open...\n@menu|\n");
    DestroyMenu(bar);
    DestroyWindow(owner);
}

TEST_F(Scripted, ADisabledOrMissingItemFailsTheTest) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HWND owner = make_owner();
    HMENU file = nullptr;
    sample_bar(&file);
    answer("@menu|Last\n");
    EXPECT_DEATH(TrackPopupMenuEx(file, TPM_RETURNCMD, 0, 0, owner, nullptr), "menu item is disabled: Last");
    answer("@menu|Close\n");
    EXPECT_DEATH(TrackPopupMenuEx(file, TPM_RETURNCMD, 0, 0, owner, nullptr), "no item Close");
    answer("Tool|text|none|ok\n");
    EXPECT_DEATH(TrackPopupMenuEx(file, TPM_RETURNCMD, 0, 0, owner, nullptr), "expected Tool");
    DestroyWindow(owner);
}

TEST_F(Scripted, TheSystemMenuOpensOnTheWindowAndSendsSysCommands) {
    HWND owner = make_owner();
    EXPECT_FALSE(TrackPopupMenuEx(nullptr, 0, 0, 0, owner, nullptr));
    HMENU system = GetSystemMenu(owner, FALSE);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(GetSystemMenu(owner, FALSE), system);
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, 16, u"Version infomation (&A)...");
    answer("@menu|Version infomation (A)...\n");
    SendMessageW(owner, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(owner), MAKELONG(20, 20));
    pump();
    auto commands = seen_of(WM_SYSCOMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wparam, 16u);
    EXPECT_EQ(seen_of(WM_INITMENUPOPUP).at(0).lparam, MAKELONG(0, 1)) << "marked as the system menu";
    EXPECT_EQ(shown(), "@menu|Version infomation (A)...\n");
    DestroyWindow(owner);
}

TEST(MenuBar, TheBarSitsAboveTheClientAndItsItemsPostCommands) {
    HWND owner = make_owner();
    HWND child = CreateWindowExW(0, u"Static", u"below", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, owner, nullptr,
                                 nullptr, nullptr);
    RECT before{};
    GetClientRect(owner, &before);
    HMENU file = nullptr;
    HMENU bar = sample_bar(&file);
    ASSERT_TRUE(SetMenu(owner, bar));
    EXPECT_EQ(GetMenu(owner), bar);
    QWidget* frame = uitest::widget_of<QWidget>(owner);
    auto* menu_bar = frame->findChild<QMenuBar*>();
    ASSERT_NE(menu_bar, nullptr);
    QApplication::processEvents();
    RECT after{};
    GetClientRect(owner, &after);
    EXPECT_LT(after.bottom, before.bottom) << "the bar takes its height from the client";
    QWidget* label = uitest::widget_of<QWidget>(child);
    EXPECT_EQ(label->mapTo(frame, QPoint(0, 0)).y(), menu_bar->height()) << "children move below the bar";

    QList<QAction*> top = menu_bar->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), "&File");
    EnableMenuItem(bar, 200, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_FALSE(menu_bar->actions()[1]->isEnabled()) << "a change shows at once";
    QMenu* popup = menu_bar->actions()[0]->menu();
    ASSERT_NE(popup, nullptr);
    enable_on_init = 101;
    EnableMenuItem(bar, 101, MF_GRAYED);
    emit popup->aboutToShow();
    EXPECT_EQ(seen_of(WM_INITMENUPOPUP).at(0).wparam, reinterpret_cast<WPARAM>(file));
    QAction* exit = popup->actions()[3];
    EXPECT_EQ(exit->text(), "E&xit");
    EXPECT_TRUE(exit->isEnabled()) << "enabled by the owner while the pop-up opened";
    emit popup->hovered(exit);
    EXPECT_EQ(seen_of(WM_MENUSELECT).at(0).wparam & 0xFFFF, 101u);
    EXPECT_EQ(seen_of(WM_MENUSELECT).at(0).lparam, reinterpret_cast<LPARAM>(file));
    exit->trigger();
    pump();
    ASSERT_EQ(seen_of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(seen_of(WM_COMMAND)[0].wparam, 101u);
    EXPECT_FALSE(SetMenu(child, bar)) << "a child window has no menu bar";
    DestroyWindow(owner);
}

TEST(Accelerators, KeysSendCommandsUnlessTheMenuItemIsDisabled) {
    HWND owner = make_owner();
    HMENU bar = sample_bar();
    SetMenu(owner, bar);
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'O', 100}, {0, 0x13 /* ^S */, 300}, {FVIRTKEY, 0x70 /* F1 */, 200}};
    HACCEL table = CreateAcceleratorTableW(keys, 3);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(TranslateAcceleratorW(owner, table, nullptr), 0);
    QWidget* frame = uitest::widget_of<QWidget>(owner);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_S, Qt::ControlModifier);
    EnableMenuItem(bar, 200, MF_GRAYED);
    QTest::keyClick(frame, Qt::Key_F1);
    auto commands = seen_of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u) << "F1's item is disabled";
    EXPECT_EQ(commands[0].wparam, static_cast<WPARAM>(MAKELONG(100, 1)));
    EXPECT_EQ(commands[1].wparam, static_cast<WPARAM>(MAKELONG(300, 1)));
    EXPECT_EQ(seen_of(WM_INITMENUPOPUP).size(), 1u) << "Open's pop-up was asked about first";

    MSG key{owner, WM_KEYDOWN, 0x70, 0, 0, {0, 0}};
    EnableMenuItem(bar, 200, MF_ENABLED);
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &key), 1);
    EXPECT_EQ(seen_of(WM_COMMAND).back().wparam, static_cast<WPARAM>(MAKELONG(200, 1)));
    key.wParam = 'Q';
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &key), 0);
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &key), 0);
    DestroyWindow(owner);
}

}  // namespace
