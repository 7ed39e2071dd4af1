// The presenter utility's dialogs on real Qt widgets (offscreen): the texts,
// every message box through the layer's test script, and the printer choice.
#include "collection_dialog.h"
#include "fake_link.h"
#include "resource.h"

#include "qortest.h"
#include "qortest_ui.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using qortest::text_of;
using qortest::widget_of;

namespace {

class ToolWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = tool::create_collection_dialog(model, u"tool");
        ASSERT_NE(nullptr, dialog);
    }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        unsetenv("QOR_UI_SCRIPT");
        unsetenv("QOR_UI_LOG");
    }

    // Boxes to be met, one "<caption>|<text>|<icon>|<button>" per line.
    void expect_boxes(const std::string& lines) {
        script = lines;
        std::ofstream(qortest::sandbox() + "/boxes") << lines;
        std::ofstream(qortest::sandbox() + "/shown");
        setenv("QOR_UI_SCRIPT", (qortest::sandbox() + "/boxes").c_str(), 1);
        setenv("QOR_UI_LOG", (qortest::sandbox() + "/shown").c_str(), 1);
    }
    std::string shown() const {
        std::stringstream text;
        text << std::ifstream(qortest::sandbox() + "/shown").rdbuf();
        return text.str();
    }
    void set(const char* text) {
        widget_of<QLineEdit>(GetDlgItem(dialog, IDC_VALUE))->setText(text);
        QTest::mouseClick(widget_of<QPushButton>(GetDlgItem(dialog, IDC_SET)), Qt::LeftButton);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SET)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLOSE)));
    }

    // Set with no printer, then with the library, the session and the send
    // failing in turn.
    void fail_every_step() {
        printers = std::vector<std::string>{};
        set("50");
        printers = std::vector<std::string>{"QOR ZEM-Dx10P"};
        link.bind_ok = false;
        set("50");
        link.bind_ok = true;
        link.start_ok = false;
        set("50");
        link.start_ok = true;
        link.send_ok = false;
        set("50");
    }

    tooltest::FakeLink link;
    std::optional<std::vector<std::string>> printers = std::vector<std::string>{"QOR ZEM-Dx10P"};
    tool::ToolModel model{link, [this] { return printers; }};
    HWND dialog = nullptr;
    std::string script;
};

TEST_F(ToolWindow, TextsLimitsAndToolTipStrings) {
    EXPECT_EQ("QOR Presenter collection time setup. ", text_of(dialog));
    EXPECT_EQ("50", text_of(GetDlgItem(dialog, IDC_VALUE)));
    EXPECT_EQ(3, SendDlgItemMessageW(dialog, IDC_VALUE, EM_GETLIMITTEXT, 0, 0));
    auto range = static_cast<DWORD>(SendDlgItemMessageW(dialog, IDC_VALUE_SPIN, UDM_GETRANGE, 0, 0));
    EXPECT_EQ(255, LOWORD(range));  // maximum
    EXPECT_EQ(0, HIWORD(range));
    EXPECT_EQ("Set(&S)", text_of(GetDlgItem(dialog, IDC_SET)));
    EXPECT_EQ("Close(&X)", text_of(GetDlgItem(dialog, IDC_CLOSE)));
    EXPECT_EQ(reinterpret_cast<HANDLE>(1), GetPropW(dialog, u"tool"));
    char tip[64];
    ASSERT_GT(LoadStringA(nullptr, IDC_SET, tip, sizeof tip), 0);
    EXPECT_STREQ("Send the command to set the collection time.", tip);
    ASSERT_GT(LoadStringA(nullptr, IDC_VALUE, tip, sizeof tip), 0);
    EXPECT_STREQ("Input the value ( 0<n<255 ). ", tip);
    EXPECT_EQ("Send the command to set the collection time.",
              widget_of<QWidget>(GetDlgItem(dialog, IDC_SET))->toolTip().toStdString());
    EXPECT_EQ("Input the value ( 0<n<255 ). ", widget_of<QWidget>(GetDlgItem(dialog, IDC_VALUE))->toolTip().toStdString());
    EXPECT_TRUE(qortest::screenshot(dialog, "tool.png"));
}

TEST_F(ToolWindow, InputMessages) {
    expect_boxes("Input error|The value must be from 0 to 255.        |warning|ok\n"
                 "Input error|The value must be from 0 to 255.        |warning|ok\n"
                 "Warning|When the value is under 9, automatic collection is disabled.|warning|cancel\n"
                 "Warning|When the value is under 9, automatic collection is disabled.|warning|ok\n");
    set("");
    set("256");
    set("9");
    EXPECT_TRUE(link.calls.empty());
    set("a12");
    EXPECT_EQ(0, link.sent.at(5));
    EXPECT_EQ(script, shown());
}

TEST_F(ToolWindow, PrinterAndConnectionMessages) {
    expect_boxes("Error|Fail to find the printer driver.|error|ok\n"
                 "Error|Fail to load library [QORCIL.DLL]   |error|ok\n"
                 "tool|Fail to open the printer.|error|ok\n"
                 "Error|Fail to open the printer   |error|ok\n"
                 "tool|Fail to open the printer.|error|ok\n"
                 "tool|Fail to send data to the printer.|error|ok\n");
    fail_every_step();
    EXPECT_EQ(script, shown());
}

// Answers the choice dialog when it shows: the list's entries, then the
// entry to pick (or Cancel).
void answer_choice(std::vector<std::string>& offered, int pick) {
    QTimer::singleShot(0, [&offered, pick] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(nullptr, box);
        auto* list = box->findChild<QComboBox*>();
        ASSERT_NE(nullptr, list);
        for (int k = 0; k < list->count(); ++k) offered.push_back(list->itemText(k).toStdString());
        EXPECT_TRUE(qortest::screenshot(qortest::handle_of(box), "tool-choice.png"));
        const char* button = pick < 0 ? "Cancel" : "OK";
        if (pick >= 0) list->setCurrentIndex(pick);
        for (QPushButton* push : box->findChildren<QPushButton*>())
            if (push->text() == button) QTest::mouseClick(push, Qt::LeftButton);
    });
}

TEST_F(ToolWindow, TwoPrintersAreChosenFromAList) {
    expect_boxes("");
    printers = std::vector<std::string>{"First", "Second"};
    std::vector<std::string> offered;
    answer_choice(offered, -1);
    set("50");
    EXPECT_EQ((std::vector<std::string>{"First", "Second"}), offered);
    EXPECT_TRUE(link.calls.empty());

    offered.clear();
    answer_choice(offered, 1);
    set("50");
    EXPECT_EQ("start Second", link.calls.at(1));
    EXPECT_EQ("", shown());
}

// The boxes as the user sees them (no test script), for the screenshots.
TEST_F(ToolWindow, ToolBoxesAsShown) {
    const char* dir = std::getenv("QOR_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "screenshots only (scripts/screenshots.sh)";
    struct Box {
        const char* text;
        const char* file;
        const char* button;
    };
    const std::vector<Box> boxes = {
        {tool::kRangeError, "tool-box-range.png", "OK"},
        {tool::kCollectionOffWarning, "tool-box-warning.png", "Cancel"},
        {tool::kNoPrinter, "tool-box-no-printer.png", "OK"},
        {tool::kNoLibrary, "tool-box-no-library.png", "OK"},
        {tool::kOpenFailed, "tool-box-open-failed.png", "OK"},
        {tool::kNoSession, "tool-box-no-session.png", "OK"},
        {tool::kOpenFailed, nullptr, "OK"},
        {tool::kSendFailed, "tool-box-send-failed.png", "OK"},
    };
    size_t next = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || next >= boxes.size()) return;
        const Box& expected = boxes[next++];
        EXPECT_EQ(expected.text, box->text().toStdString());
        if (expected.file) {
            std::string path = std::string(dir) + "/" + expected.file;
            EXPECT_TRUE(box->grab().save(QString::fromStdString(path)));
        }
        for (QAbstractButton* button : box->buttons())
            if (button->text().remove('&') == expected.button) button->click();
    });
    watcher.start(20);
    set("");
    set("5");
    fail_every_step();
    EXPECT_EQ(boxes.size(), next);
}

TEST(ToolProgram, SecondStartRaisesTheFirst) {
    auto first = qortest::Child::spawn(qortest::bin_dir() + "/tool", {});
    HWND window = nullptr;
    ASSERT_TRUE(qortest::eventually([&] {
        window = FindWindowW(nullptr, u"QOR Presenter collection time setup. ");
        return window != nullptr;
    }, std::chrono::seconds(20)));
    PostMessageW(window, WM_SYSCOMMAND, 0xF020, 0);  // minimise, as from its system menu
    ASSERT_TRUE(qortest::eventually([&] { return IsIconic(window) != FALSE; }));
    qortest::Output second = qortest::run(qortest::bin_dir() + "/tool", {}, std::chrono::seconds(20));
    EXPECT_EQ(0, second.status);
    EXPECT_EQ("", second.err);
    EXPECT_TRUE(qortest::eventually([&] { return IsIconic(window) == FALSE; }));
    EXPECT_TRUE(first.running());
    first.kill();
}

}  // namespace
