// Version records read back through VerQueryValue, and help files shown
// by WinHelp: their readers on good and hostile bytes, and the calls.
#include "help_file.h"
#include "ui_fixture.h"
#include "version_records.h"

#include "qor/sysinfo.h"
#include "qortest.h"

#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace uitest;

namespace {

// One node of a version record, written as qorrc writes them.
void node(Bytes& out, const std::u16string& key, uint16_t type, const std::vector<uint8_t>& value,
          uint16_t value_length, const std::vector<std::vector<uint8_t>>& children) {
    Bytes b;
    b.word(0);
    b.word(value_length);
    b.word(type);
    b.text(key);
    b.align();
    b.data.insert(b.data.end(), value.begin(), value.end());
    for (const auto& child : children) {
        b.align();
        b.data.insert(b.data.end(), child.begin(), child.end());
    }
    b.data[0] = static_cast<uint8_t>(b.data.size());
    b.data[1] = static_cast<uint8_t>(b.data.size() >> 8);
    out.align();
    out.data.insert(out.data.end(), b.data.begin(), b.data.end());
}

std::vector<uint8_t> wide(const std::u16string& text) {
    Bytes b;
    b.text(text);
    return b.data;
}

std::vector<uint8_t> version_record() {
    Bytes fixed;
    fixed.dword(0xFEEF04BD);
    fixed.dword(0x00010000);
    fixed.dword(0x00010002);
    for (int i = 0; i < 10; ++i) fixed.dword(0);
    Bytes text, table, strings, translation, vars, root;
    node(text, u"ProductVersion", 1, wide(u"1.00"), 5, {});
    node(table, u"040904b0", 1, {}, 0, {text.data});
    node(strings, u"StringFileInfo", 1, {}, 0, {table.data});
    node(translation, u"Translation", 0, {0x09, 0x04, 0xB0, 0x04}, 4, {});
    node(vars, u"VarFileInfo", 1, {}, 0, {translation.data});
    node(root, u"VS_VERSION_INFO", 0, fixed.data, 52, {strings.data, vars.data});
    return root.data;
}

TEST(UiVersionRecords, PathsFindTheFixedInformationTranslationAndTexts) {
    std::vector<uint8_t> record = version_record();
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), u"\\", &value, &length));
    EXPECT_EQ(length, 52u);
    EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(value)->dwFileVersionMS, 0x00010002u);
    ASSERT_TRUE(VerQueryValueW(record.data(), u"\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(static_cast<WORD*>(value)[1], 0x04B0);
    // Keys match without regard to case, as the hexadecimal table names need.
    ASSERT_TRUE(VerQueryValueW(record.data(), u"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length));
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"1.00");
    EXPECT_FALSE(VerQueryValueW(record.data(), u"\\StringFileInfo\\040904B0\\Missing", &value, &length));
}

TEST(UiVersionRecords, LengthsThatDoNotHoldTogetherAreRefused) {
    const std::vector<uint8_t> good = version_record();
    EXPECT_EQ(qorui::version_record_length(good.data(), good.size()), good.size());
    EXPECT_FALSE(qorui::version_record_length(good.data(), good.size() - 1));  // cut short
    for (size_t at : {size_t{0}, size_t{2}, size_t{4}, size_t{92}, size_t{94}}) {
        std::vector<uint8_t> bad = good;
        bad[at] = 0xFF;
        bad[at + 1] = 0x7F;
        EXPECT_FALSE(qorui::find_version_value(bad.data(), bad.size(), u"\\StringFileInfo\\040904b0\\ProductVersion"))
            << at;
    }
    // A key without its terminator inside the node.
    std::vector<uint8_t> unterminated(8, 0);
    unterminated[0] = 8;
    unterminated[6] = 'A';
    EXPECT_FALSE(qorui::version_record_length(unterminated.data(), unterminated.size()));
    DWORD handle = 1;
    EXPECT_EQ(GetFileVersionInfoSizeW(u"/nonexistent/module.so", &handle), 0u);
    EXPECT_EQ(handle, 0u);
}

TEST(UiHelpFiles, TopicsByContextAndFilesThatAreRefused) {
    const std::string text = "# comment\nignored\n@4 Sheet\r\nFirst line\n\nSecond\n\n@22 Orientation\nTurns.\n@7\n";
    auto topics = qorui::read_help_file(text.data(), text.size());
    ASSERT_TRUE(topics);
    ASSERT_EQ(topics->size(), 3u);
    EXPECT_EQ(topics->at(4).title, "Sheet");
    EXPECT_EQ(topics->at(4).text, "First line\n\nSecond");
    EXPECT_EQ(topics->at(22).text, "Turns.");
    EXPECT_EQ(topics->at(7).title, "");
    for (const std::string bad : {"@x Title\n", "@4 A\n@4 B\n", "@99999999999 Big\n", "@ none\n"})
        EXPECT_FALSE(qorui::read_help_file(bad.data(), bad.size())) << bad;
    std::string huge(qorui::kHelpFileLimit + 1, 'a');
    EXPECT_FALSE(qorui::read_help_file(huge.data(), huge.size()));
}

class UiWinHelp : public ::testing::Test {
protected:
    void SetUp() override {
        log = qortest::sandbox() + "/shown";
        std::ofstream(log).close();
        setenv("QOR_UI_LOG", log.c_str(), 1);
        file = qortest::sandbox() + "/topics.hlp";
        std::ofstream(file) << "@4 Printer properties\nThe whole sheet.\n@20 Paper size\nThe paper.\n";
        path = u16(file);
    }
    std::string shown() const {
        std::stringstream text;
        text << std::ifstream(log).rdbuf();
        return text.str();
    }
    std::string log, file;
    std::u16string path;
};

TEST_F(UiWinHelp, ContextsPopupsAndTheWhatsThisMenu) {
    const DWORD pairs[] = {100, 20, 101, 99, 0, 0};
    HWND dialog = modeless(uitest::dialog(u"Help", 120, 60,
                                          {{kChild | WS_TABSTOP, 10, 10, 50, 14, 100, 0x0080, u"", u"Paper"},
                                           {kChild | WS_TABSTOP, 10, 30, 50, 14, 101, 0x0080, u"", u"Other"}}),
                           [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
    HWND paper = GetDlgItem(dialog, 100);
    EXPECT_TRUE(WinHelpW(dialog, path.c_str(), HELP_CONTEXT, 4));
    HWND window = FindWindowW(u"QorHelpWindow", u"Printer properties");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(qortest::screenshot(window, "help-window.png"));
    EXPECT_TRUE(WinHelpW(paper, path.c_str(), HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(pairs)));
    HWND popup = FindWindowW(u"QorHelpPopup", nullptr);
    ASSERT_NE(popup, nullptr);
    // A control without a pair, or a pair without a topic, shows nothing.
    EXPECT_FALSE(WinHelpW(GetDlgItem(dialog, 101), path.c_str(), HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(pairs)));
    EXPECT_FALSE(WinHelpW(dialog, path.c_str(), HELP_CONTEXT, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_FALSE(WinHelpW(dialog, u"/nonexistent.hlp", HELP_CONTEXT, 4));

    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text().toStdString(), "What's This?");
        menu->setActiveAction(menu->actions()[0]);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    EXPECT_TRUE(WinHelpW(paper, path.c_str(), HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(pairs)));
    EXPECT_TRUE(WinHelpW(dialog, path.c_str(), HELP_QUIT, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ("@help|window|4|Printer properties\n@help|popup|20|Paper size\n@help|menu|0|\n@help|popup|20|Paper size\n",
              shown());
    DestroyWindow(dialog);
}

}  // namespace
