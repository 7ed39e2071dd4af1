#include "ui_fixture.h"
#include "ui_script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

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

TEST(UiScript, LinesNeedFourFieldsAndAKnownButton) {
    std::string error;
    auto boxes = qorui::parse_script("# comment\n\nTool|Line one\\nline two|warning|yes\r\n", error);
    ASSERT_TRUE(boxes);
    ASSERT_EQ(boxes->size(), 1u);
    EXPECT_EQ((*boxes)[0].text, "Line one\nline two");
    EXPECT_EQ(qorui::format_box((*boxes)[0]), "Tool|Line one\\nline two|warning|yes");
    EXPECT_FALSE(qorui::parse_script("Tool|text|none\n", error));
    EXPECT_EQ(error, "line 1: want <caption>|<text>|<icon>|<button>");
    EXPECT_FALSE(qorui::parse_script("ok\nTool|text|none|press\n", error));
    EXPECT_EQ(error.substr(0, 6), "line 1");
    auto piped = qorui::parse_script("A|x|none|ok|extra|bars\n", error);
    EXPECT_FALSE(piped) << "a '|' in the last field makes the button unknown";
}

TEST(UiScript, BoxesAreAnsweredInTurnAndLogged) {
    std::string log = std::string(getenv("QOR_ROOT")) + "/boxes.log";
    setenv("QOR_UI_LOG", log.c_str(), 1);
    setenv("QOR_UI_SCRIPT",
           write_file("answers", "Tool|Set the interval?|question|no\nTool|Done.\\nBye|information|ok\n").c_str(), 1);
    EXPECT_EQ(MessageBoxW(nullptr, u"Set the interval?", u"Tool", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Done.\nBye", "Tool", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(read_file(log), "Tool|Set the interval?|question|no\nTool|Done.\\nBye|information|ok\n");
    unsetenv("QOR_UI_SCRIPT");
    unsetenv("QOR_UI_LOG");
}

using UiScriptDeath = ::testing::Test;

TEST_F(UiScriptDeath, AnUnexpectedBoxFailsLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("QOR_UI_SCRIPT", write_file("one", "Tool|Saved.|information|ok\n").c_str(), 1);
    EXPECT_DEATH(MessageBoxW(nullptr, u"Failed.", u"Tool", MB_OK | MB_ICONINFORMATION),
                 "expected Tool\\|Saved.\\|information\\|ok\n  shown Tool\\|Failed.\\|information\\|");
    EXPECT_DEATH(MessageBoxW(nullptr, u"Saved.", u"Tool", MB_OK | MB_ICONERROR), "shown Tool\\|Saved.\\|error");
    EXPECT_DEATH(
        {
            MessageBoxW(nullptr, u"Saved.", u"Tool", MB_OK | MB_ICONINFORMATION);
            MessageBoxW(nullptr, u"Again", u"Tool", MB_OK);
        },
        "unexpected box: Tool\\|Again\\|none\\|");
    setenv("QOR_UI_SCRIPT", write_file("nobutton", "Tool|Saved.|information|yes\n").c_str(), 1);
    EXPECT_DEATH(MessageBoxW(nullptr, u"Saved.", u"Tool", MB_OK | MB_ICONINFORMATION), "the box has no button yes");
    unsetenv("QOR_UI_SCRIPT");
}

}  // namespace
