#include "ui_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

using namespace uitest;

namespace {

struct FrameLog {
    LPVOID create_param = nullptr;
    std::vector<UINT> messages;
    std::vector<std::pair<int, int>> commands;
    std::u16string tip_asked;
};
FrameLog frame_log;
bool refuse_create = false;

LRESULT frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        frame_log.create_param = reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams;
        return refuse_create ? -1 : 0;
    case WM_COMMAND:
        frame_log.commands.push_back({LOWORD(wparam), HIWORD(wparam)});
        return 0;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
        if (info->hdr.code == TTN_GETDISPINFOW) {
            std::u16string text = u"Seconds between reads";
            std::copy(text.begin(), text.end(), reinterpret_cast<char16_t*>(info->szText));
            info->szText[text.size()] = 0;
        }
        return 0;
    }
    default:
        frame_log.messages.push_back(message);
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

class UiWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXW window_class{sizeof(WNDCLASSEXW), 0, frame_proc, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, u"QorTestFrame", nullptr};
        ASSERT_NE(RegisterClassExW(&window_class), 0);
        EXPECT_EQ(RegisterClassExW(&window_class), 0) << "a class is registered once";
    }
    void SetUp() override {
        frame_log = FrameLog{};
        refuse_create = false;
    }
};

TEST_F(UiWindows, AHiddenFrameOfARegisteredClassIsFoundByClassAndClosesThroughItsProcedure) {
    int marker = 0;
    HWND frame = CreateWindowExW(0, u"QorTestFrame", u"Monitor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, &marker);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame_log.create_param, &marker);
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_EQ(FindWindowW(u"qortestframe", nullptr), frame) << "class names match in any case";
    EXPECT_EQ(text_of(frame), "Monitor");

    SendMessageW(frame, WM_CLOSE, 0, 0);  // the default procedure destroys it
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(FindWindowW(u"QorTestFrame", nullptr), nullptr);
    EXPECT_NE(std::find(frame_log.messages.begin(), frame_log.messages.end(), UINT(WM_DESTROY)),
              frame_log.messages.end());
}

TEST_F(UiWindows, CreationRefusedInWmCreateLeavesNoWindow) {
    refuse_create = true;
    EXPECT_EQ(CreateWindowExW(0, u"QorTestFrame", u"No", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(FindWindowW(u"QorTestFrame", nullptr), nullptr);
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(UiWindows, ChildControlsNotifyTheFrameAndCarryToolTips) {
    HWND frame = CreateWindowExW(0, u"QorTestFrame", u"Tool", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND button = CreateWindowExW(0, WC_BUTTONW, u"&Set", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, frame,
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(1001)), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetDlgItem(frame, 1001), button);
    SendMessageW(button, BM_CLICK, 0, 0);
    ASSERT_EQ(frame_log.commands.size(), 1u);
    EXPECT_EQ(frame_log.commands[0], std::make_pair(1001, int(BN_CLICKED)));

    HWND tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, frame, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(tips, nullptr);
    TOOLINFOW tool{sizeof(TOOLINFOW), TTF_IDISHWND | TTF_SUBCLASS, frame, reinterpret_cast<UINT_PTR>(button), {},
                   nullptr, LPSTR_TEXTCALLBACKW, 0, nullptr};
    EXPECT_TRUE(SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(widget_of<QWidget>(button)->toolTip(), "Seconds between reads");
    tool.lpszText = const_cast<LPWSTR>(u"Collection time");
    SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(widget_of<QWidget>(button)->toolTip(), "Collection time");
    EXPECT_EQ(FindWindowW(TOOLTIPS_CLASSW, nullptr), nullptr) << "controls are not top-level windows of their own";
    DestroyWindow(frame);
    EXPECT_FALSE(IsWindow(button));
}

}  // namespace

namespace {

TEST_F(UiWindows, TrayIconsLiveWithoutATrayAndAreLogged) {
    std::string log = std::string(getenv("QOR_ROOT")) + "/tray.log";
    setenv("QOR_UI_LOG", log.c_str(), 1);
    HWND frame = CreateWindowExW(0, u"QorTestFrame", u"Monitor", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = frame;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_APP + 1;
    std::u16string tip = u"QOR ZEM-D: Ready";
    std::copy(tip.begin(), tip.end(), reinterpret_cast<char16_t*>(data.szTip));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data)) << "one icon per window and id";
    data.szTip[11] = 0;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data));
    DestroyWindow(frame);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data)) << "no icon for a destroyed window";
    unsetenv("QOR_UI_LOG");
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "@tray|add|QOR ZEM-D: Ready\n@tray|modify|QOR ZEM-D: \n@tray|delete|QOR ZEM-D: \n");
}

TEST_F(UiWindows, SessionEndAsksEveryTopLevelWindowThenEndsIt) {
    HWND frame = CreateWindowExW(0, u"QorTestFrame", u"Monitor", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    frame_log.messages.clear();
    QorUiEndSession();
    std::vector<UINT> seen;
    for (UINT message : frame_log.messages)
        if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) seen.push_back(message);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_QUERYENDSESSION, WM_ENDSESSION}));
    DestroyWindow(frame);
}

}  // namespace
