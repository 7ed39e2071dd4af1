#include "file_filter.h"
#include "ui_fixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(UiFileFilter, PairsEndAtTheDoubleTerminatorOrTheLimit) {
    const char16_t filter[] = u"Text\0*.txt;*.log\0All files\0*.*\0\0Ignored\0*.x\0";
    auto filters = qorui::read_filters(filter, sizeof filter / 2);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].name, u"Text");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::u16string>{u"*.txt", u"*.log"}));
    EXPECT_EQ(filters[1].patterns, (std::vector<std::u16string>{u"*.*"}));
    EXPECT_EQ(qorui::read_filters(filter, 7).size(), 0u) << "a pair cut by the limit is dropped";
    EXPECT_TRUE(qorui::read_filters(nullptr, 100).empty());
}

TEST(UiFileFilter, NameAndExtensionOffsets) {
    auto parts = qorui::path_parts(u"/tmp/dir.d/logo.bmp");
    EXPECT_EQ(parts.name_offset, 11u);
    EXPECT_EQ(parts.extension_offset, 16u);
    EXPECT_EQ(qorui::path_parts(u"/tmp/dir.d/README").extension_offset, 0u);
    EXPECT_EQ(qorui::with_default_extension(u"/tmp/a", u"txt"), u"/tmp/a.txt");
    EXPECT_EQ(qorui::with_default_extension(u"/tmp/a.log", u"txt"), u"/tmp/a.log");
}

OPENFILENAMEW dialog_for(WCHAR* file, DWORD size) {
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = u"Text\0*.txt\0\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = size;
    dialog.lpstrTitle = u"Save Settings";
    dialog.lpstrDefExt = u"txt";
    return dialog;
}

TEST(UiFileDialogs, ScriptedAnswersFillTheStructureOrCancel) {
    std::string script = std::string(getenv("QOR_ROOT")) + "/files";
    std::ofstream(script) << "@save|Save Settings|/tmp/out/settings\n@open|Open|/tmp/in/logo.bmp\n@open|Open|\n"
                             "@save|Save Settings|/tmp/a/very/long/name\n";
    setenv("QOR_UI_SCRIPT", script.c_str(), 1);
    WCHAR file[64] = {0};
    OPENFILENAMEW save = dialog_for(file, 64);
    ASSERT_TRUE(GetSaveFileNameW(&save));
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(file)), u"/tmp/out/settings.txt");
    EXPECT_EQ(save.nFileOffset, 9);
    EXPECT_EQ(save.nFileExtension, 18);

    OPENFILENAMEW open = dialog_for(file, 64);
    open.lpstrTitle = nullptr;
    open.lpstrDefExt = nullptr;
    ASSERT_TRUE(GetOpenFileNameW(&open));
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(file)), u"/tmp/in/logo.bmp");

    EXPECT_FALSE(GetOpenFileNameW(&open));
    EXPECT_EQ(CommDlgExtendedError(), 0u) << "Cancel is no error";

    OPENFILENAMEW small = dialog_for(file, 10);
    EXPECT_FALSE(GetSaveFileNameW(&small));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(FNERR_BUFFERTOOSMALL));
    unsetenv("QOR_UI_SCRIPT");
}

}  // namespace
