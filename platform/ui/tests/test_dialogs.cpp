#include "ui_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace uitest;

namespace {

enum : uint16_t { kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kListBox = 0x0083, kCombo = 0x0085 };
constexpr uint32_t kTab = WS_TABSTOP, kGroup = WS_GROUP;

// What the dialog procedure heard, for the assertions.
struct Heard {
    LPARAM init_param = 0;
    std::vector<std::pair<int, int>> commands;  // (id, code)
    std::vector<NMUPDOWN> deltas;
    bool refuse_delta = false;
    int destroyed = 0;
};
Heard heard;

INT_PTR CALLBACK recording_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        heard.init_param = lparam;
        return TRUE;
    case WM_COMMAND:
        heard.commands.push_back({LOWORD(wparam), HIWORD(wparam)});
        return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->code == UDN_DELTAPOS) {
            heard.deltas.push_back(*reinterpret_cast<NMUPDOWN*>(lparam));
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, heard.refuse_delta);
        }
        return TRUE;
    }
    case WM_DESTROY:
        ++heard.destroyed;
        return TRUE;
    default:
        return FALSE;
    }
}

class UiDialogs : public ::testing::Test {
protected:
    void SetUp() override { heard = Heard{}; }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
    }
    HWND dialog = nullptr;
};

TEST_F(UiDialogs, TemplateBecomesControlsWithTheirIdsAndTexts) {
    dialog = modeless(uitest::dialog(u"Setup", 200, 100,
                                     {{kChild, 7, 7, 80, 8, 100, kStatic, u"", u"&Interval:"},
                                      {kChild | kTab, 90, 5, 40, 12, 101, kEdit, u"", u"50"},
                                      {kChild | kTab | BS_DEFPUSHBUTTON, 140, 80, 50, 14, IDOK, kButton, u"", u"OK"}}),
                      recording_proc, 1234);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(heard.init_param, 1234);
    EXPECT_EQ(text_of(dialog), "Setup");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 100)), "&Interval:");
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, 101)), 101);
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetParent(GetDlgItem(dialog, IDOK)), dialog);

    // Geometry in dialog units of the dialog's font.
    RECT rect{0, 0, 200, 100};
    ASSERT_TRUE(MapDialogRect(dialog, &rect));
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, rect.right);
    EXPECT_EQ(client.bottom, rect.bottom);
    EXPECT_GT(rect.right, 200);

    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(heard.destroyed, 1);
    dialog = nullptr;
}

TEST_F(UiDialogs, ItemIntegersReadTheLeadingDigits) {
    dialog = modeless(uitest::dialog(u"T", 100, 40, {{kChild, 5, 5, 40, 12, 10, kEdit, u"", u""}}), recording_proc);
    struct Case {
        const char* text;
        BOOL is_signed;
        UINT value;
        BOOL ok;
    } cases[] = {{"12a", FALSE, 12, TRUE},       {"a12", FALSE, 0, FALSE},     {"", FALSE, 0, FALSE},
                 {"  255", FALSE, 255, TRUE},    {"-5", TRUE, UINT(-5), TRUE}, {"-5", FALSE, 0, FALSE},
                 {"4294967296", FALSE, 0, FALSE}, {"2147483648", TRUE, 0, FALSE}};
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, 10, c.text);
        BOOL ok = -1;
        EXPECT_EQ(GetDlgItemInt(dialog, 10, &ok, c.is_signed), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    SetDlgItemInt(dialog, 10, 501, FALSE);
    EXPECT_EQ(text_of(GetDlgItem(dialog, 10)), "501");
}

TEST_F(UiDialogs, EditNotifiesChangesAndKeepsToItsLimitAndDigits) {
    dialog = modeless(uitest::dialog(u"T", 100, 40, {{kChild | ES_NUMBER, 5, 5, 40, 12, 10, kEdit, u"", u""}}),
                      recording_proc);
    HWND edit = GetDlgItem(dialog, 10);
    SendMessageW(edit, EM_LIMITTEXT, 3, 0);
    SetWindowTextA(edit, "7");
    ASSERT_EQ(heard.commands.size(), 1u);
    EXPECT_EQ(heard.commands[0], std::make_pair(10, int(EN_CHANGE)));
    QTest::keyClicks(widget_of<QLineEdit>(edit), "a12345");
    EXPECT_EQ(text_of(edit), "712");
}

TEST_F(UiDialogs, ButtonsClickCheckAndGroupRadios) {
    dialog = modeless(uitest::dialog(u"T", 200, 100,
                                     {{kChild | BS_AUTOCHECKBOX | kTab, 5, 5, 80, 10, 20, kButton, u"", u"Auto"},
                                      {kChild | BS_CHECKBOX | kTab, 5, 15, 80, 10, 21, kButton, u"", u"Manual"},
                                      {kChild | BS_AUTORADIOBUTTON | kGroup, 5, 30, 80, 10, 30, kButton, u"", u"A"},
                                      {kChild | BS_AUTORADIOBUTTON, 5, 40, 80, 10, 31, kButton, u"", u"B"},
                                      {kChild | BS_AUTORADIOBUTTON | kGroup, 5, 50, 80, 10, 40, kButton, u"", u"C"},
                                      {kChild | BS_PUSHBUTTON | kGroup, 5, 70, 50, 14, 50, kButton, u"", u"Go"}}),
                      recording_proc);
    SendDlgItemMessageW(dialog, 20, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 20), BST_CHECKED);
    SendDlgItemMessageW(dialog, 21, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), BST_UNCHECKED) << "a manual check box waits for the program";
    CheckDlgButton(dialog, 21, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), BST_CHECKED);

    SendDlgItemMessageW(dialog, 40, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, 30, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, 31, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 30), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 31), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 40), BST_CHECKED) << "another group keeps its choice";

    SendDlgItemMessageW(dialog, 50, BM_CLICK, 0, 0);
    std::vector<std::pair<int, int>> clicks{{20, BN_CLICKED}, {21, BN_CLICKED}, {40, BN_CLICKED},
                                            {30, BN_CLICKED}, {31, BN_CLICKED}, {50, BN_CLICKED}};
    EXPECT_EQ(heard.commands, clicks) << "BM_SETCHECK itself sends nothing";

    EnableWindow(GetDlgItem(dialog, 50), FALSE);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 50)));
}

TEST_F(UiDialogs, ComboAndListBoxesHoldItemsWithData) {
    dialog = modeless(uitest::dialog(u"T", 200, 120,
                                     {{kChild | CBS_DROPDOWNLIST | kTab, 5, 5, 100, 60, 60, kCombo, u"", u""},
                                      {kChild | LBS_NOTIFY | LBS_SORT, 5, 30, 100, 40, 61, kListBox, u"", u""},
                                      {kChild, 110, 30, 80, 40, 62, 0, u"CheckListBox", u""}}),
                      recording_proc);
    for (const char16_t* name : {u"QOR ZEM-D", u"Demo"}) {
        LRESULT index = SendDlgItemMessageW(dialog, 60, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendDlgItemMessageW(dialog, 60, CB_SETITEMDATA, index, 1000 + index);
        SendDlgItemMessageW(dialog, 61, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETITEMDATA, 1, 0), 1001);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETITEMDATA, 5, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_SETCURSEL, 7, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETCURSEL, 0, 0), CB_ERR) << "a bad index clears the choice";
    SendDlgItemMessageW(dialog, 60, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(u"demo")), 1);
    WCHAR text[32];
    EXPECT_EQ(SendDlgItemMessageW(dialog, 61, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 4) << "sorted";
    EXPECT_TRUE(heard.commands.empty()) << "the program's own changes are not notified";

    ShowWindow(dialog, SW_SHOW);
    QTest::keyClick(widget_of<QComboBox>(GetDlgItem(dialog, 60)), Qt::Key_Up);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 60, CB_GETCURSEL, 0, 0), 0);
    ASSERT_EQ(heard.commands.size(), 1u);
    EXPECT_EQ(heard.commands[0], std::make_pair(60, int(CBN_SELCHANGE)));

    HWND checks = GetDlgItem(dialog, 62);
    SendMessageW(checks, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Paper out"));
    SendMessageW(checks, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Cover open"));
    SendMessageW(checks, CLB_SETCHECK, 1, TRUE);
    EXPECT_EQ(SendMessageW(checks, CLB_GETCHECK, 1, 0), 1);
    EXPECT_EQ(heard.commands.size(), 1u);
    widget_of<QListWidget>(checks)->item(0)->setCheckState(Qt::Checked);  // as the user's click does
    ASSERT_EQ(heard.commands.size(), 2u);
    EXPECT_EQ(heard.commands[1], std::make_pair(62, int(CLBN_CHKCHANGE)));
    EXPECT_EQ(SendMessageW(checks, LB_GETCURSEL, 0, 0), 0);
}

TEST_F(UiDialogs, UpDownStepsItsBuddyWithinTheRangeUnlessRefused) {
    dialog = modeless(
        uitest::dialog(u"T", 120, 40,
                       {{kChild | ES_NUMBER | kTab, 5, 5, 50, 12, 70, kEdit, u"", u""},
                        {kChild | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, 0, 0, 10, 12, 71, 0,
                         u"msctls_updown32", u""}}),
        recording_proc);
    HWND updown = GetDlgItem(dialog, 71);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(updown, UDM_GETBUDDY, 0, 0)), GetDlgItem(dialog, 70));
    SendMessageW(updown, UDM_SETRANGE, 0, MAKELONG(255, 10));
    SendMessageW(updown, UDM_SETPOS, 0, MAKELONG(254, 0));
    EXPECT_EQ(text_of(GetDlgItem(dialog, 70)), "254");

    auto arrows = widget_of<QWidget>(updown)->findChildren<QToolButton*>();
    ASSERT_EQ(arrows.size(), 2);
    QToolButton* up = arrows[0]->arrowType() == Qt::UpArrow ? arrows[0] : arrows[1];
    QToolButton* down = up == arrows[0] ? arrows[1] : arrows[0];
    up->click();
    up->click();
    EXPECT_EQ(text_of(GetDlgItem(dialog, 70)), "255") << "held at the maximum";
    ASSERT_EQ(heard.deltas.size(), 2u);
    EXPECT_EQ(heard.deltas[0].iPos, 254);
    EXPECT_EQ(heard.deltas[0].iDelta, 1);

    SetDlgItemTextA(dialog, 70, "12");
    heard.refuse_delta = true;
    down->click();
    EXPECT_EQ(text_of(GetDlgItem(dialog, 70)), "12");
    EXPECT_EQ(LOWORD(SendMessageW(updown, UDM_GETPOS, 0, 0)), 12) << "the buddy's text is the position";
}

struct HelpHeard {
    HELPINFO help{};
    WPARAM menu_control = 0;
};
HelpHeard help_heard;

INT_PTR CALLBACK help_proc(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_HELP) help_heard.help = *reinterpret_cast<HELPINFO*>(lparam);
    if (message == WM_CONTEXTMENU) help_heard.menu_control = wparam;
    return message == WM_HELP || message == WM_CONTEXTMENU;
}

TEST_F(UiDialogs, F1AndTheContextMenuReachTheDialogNamingTheControl) {
    dialog = modeless(uitest::dialog(u"T", 100, 40, {{kChild | kTab, 5, 5, 40, 12, 33, kEdit, u"", u""}}), help_proc);
    HWND edit = GetDlgItem(dialog, 33);
    QTest::keyClick(widget_of<QWidget>(edit), Qt::Key_F1);
    EXPECT_EQ(help_heard.help.iCtrlId, 33);
    EXPECT_EQ(help_heard.help.hItemHandle, edit);
    EXPECT_EQ(help_heard.help.iContextType, HELPINFO_WINDOW);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(1, 1), QPoint(11, 12));
    QApplication::sendEvent(widget_of<QWidget>(edit), &menu);
    EXPECT_EQ(help_heard.menu_control, reinterpret_cast<WPARAM>(edit));
}

// ---- modal loops, posting and timers ----

struct ModalRun {
    int ticks = 0;
    std::vector<UINT> order;
};

INT_PTR CALLBACK ticking_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* run = reinterpret_cast<ModalRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        SetTimer(dialog, 7, 10, nullptr);
        PostMessageW(dialog, WM_USER + 1, 0, 0);
        PostMessageW(dialog, WM_USER + 2, 0, 0);
        return TRUE;
    case WM_USER + 1:
    case WM_USER + 2:
        run->order.push_back(message);
        return TRUE;
    case WM_TIMER:
        if (wparam == 7 && ++run->ticks == 3) {
            KillTimer(dialog, 7);
            EndDialog(dialog, 42);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

TEST(UiModalDialogs, RunUntilEndDialogWithTimersAndPostedMessages) {
    auto bytes = uitest::dialog(u"Modal", 100, 50, {});
    ModalRun run;
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, bytes.data(), nullptr, ticking_proc, reinterpret_cast<LPARAM>(&run)), 42);
    EXPECT_EQ(run.ticks, 3);
    EXPECT_EQ(run.order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
}

INT_PTR CALLBACK ending_at_once(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) EndDialog(dialog, 7);
    return message == WM_INITDIALOG;
}

TEST(UiModalDialogs, EndDialogDuringInitReturnsAtOnce) {
    auto bytes = uitest::dialog(u"Modal", 100, 50, {});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, bytes.data(), nullptr, ending_at_once, 0), 7);
}

INT_PTR CALLBACK cancelling_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

TEST(UiModalDialogs, CloseBecomesTheCancelCommand) {
    auto bytes = uitest::dialog(u"Modal", 100, 50, {});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, bytes.data(), nullptr, cancelling_proc, 0), IDCANCEL);
}

TEST(UiMessageLoop, GetMessageReturnsPostedThreadMessagesThenQuit) {
    PostMessageW(nullptr, WM_APP + 1, 5, 6);
    PostQuitMessage(3);
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, WM_APP + 1u);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
}

INT_PTR CALLBACK counting_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_USER + 9) {
        auto* count = reinterpret_cast<int*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        if (++*count == 2000) PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

TEST(UiMessageLoop, PostsFromAnotherThreadArriveInTheWindowsThread) {
    HWND dialog = modeless(uitest::dialog(u"T", 50, 20, {}), counting_proc);
    int count = 0;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));
    std::thread poster([dialog] {
        for (int i = 0; i < 2000; ++i) PostMessageW(dialog, WM_USER + 9, 0, 0);
    });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
    poster.join();
    EXPECT_EQ(count, 2000);
    DestroyWindow(dialog);
    EXPECT_FALSE(PostMessageW(dialog, WM_USER, 0, 0)) << "a destroyed window takes no posts";
}

INT_PTR CALLBACK answering_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message != WM_USER + 10) return FALSE;
    // Runs in the window's own thread, which records itself.
    *reinterpret_cast<std::thread::id*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)) = std::this_thread::get_id();
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(wparam * 2));
    return TRUE;
}

TEST(UiMessageLoop, SendsFromAnotherThreadRunInTheWindowsThreadAndReturnItsAnswer) {
    HWND dialog = modeless(uitest::dialog(u"T", 50, 20, {}), answering_proc);
    std::thread::id ran_in;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ran_in));
    std::vector<LRESULT> answers;
    std::thread sender([&] {
        for (WPARAM i = 1; i <= 200; ++i) answers.push_back(SendMessageW(dialog, WM_USER + 10, i, 0));
        PostMessageW(dialog, WM_CLOSE, 0, 0);  // ends the loop below
    });
    // A loop blocked in GetMessage answers the sends without returning them.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) && message.message != WM_CLOSE) DispatchMessageW(&message);
    sender.join();
    ASSERT_EQ(answers.size(), 200u);
    for (size_t i = 0; i < answers.size(); ++i) EXPECT_EQ(answers[i], LRESULT(2 * (i + 1)));
    EXPECT_EQ(ran_in, std::this_thread::get_id());
    DestroyWindow(dialog);
}

TEST(UiProperties, SetGetAndRemoveByName) {
    HWND dialog = modeless(uitest::dialog(u"T", 50, 20, {}), counting_proc);
    int marker = 0;
    EXPECT_TRUE(SetPropW(dialog, u"QOR_PRINTER_TOOL", &marker));
    EXPECT_EQ(GetPropW(dialog, u"QOR_PRINTER_TOOL"), &marker);
    EXPECT_EQ(GetPropW(dialog, u"other"), nullptr);
    EXPECT_EQ(RemovePropW(dialog, u"QOR_PRINTER_TOOL"), &marker);
    EXPECT_EQ(GetPropW(dialog, u"QOR_PRINTER_TOOL"), nullptr);
    DestroyWindow(dialog);
}

TEST(UiScreenshot, WritesTheDialogAsPng) {
    HWND dialog = modeless(uitest::dialog(u"Shot", 100, 40, {{kChild, 5, 5, 80, 10, 1, kStatic, u"", u"Hello"}}),
                           counting_proc);
    std::string path = std::string(getenv("QOR_ROOT")) + "/shot.png";
    ASSERT_TRUE(QorUiScreenshot(dialog, path.c_str()));
    QImage image(QString::fromStdString(path));
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(image.width(), client.right);
    EXPECT_EQ(image.height(), client.bottom);
    DestroyWindow(dialog);
    EXPECT_FALSE(QorUiScreenshot(dialog, path.c_str()));
}

}  // namespace
