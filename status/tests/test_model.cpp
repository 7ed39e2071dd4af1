#include "status_model.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using status::StatusModel;
using status::StatusSettings;

std::vector<BYTE> value(HKEY root, const char* key_name, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, key_name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    BYTE data[16];
    DWORD size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return {};
    return std::vector<BYTE>(data, data + size);
}

std::vector<BYTE> monitor(const char* name) { return value(HKEY_CURRENT_USER, status::kMonitorKey, name); }
std::vector<BYTE> dword(uint32_t v) {
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
}

void put(const char* name, DWORD type, std::vector<BYTE> data) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, status::kMonitorKey, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

TEST(StatusModel, AllRowsOnAndRenewWritesTheMasks) {
    StatusSettings settings;
    StatusModel model(settings);
    model.start();
    EXPECT_FALSE(model.announcements());
    EXPECT_FALSE(model.renew_enabled());
    ASSERT_EQ(7u, model.row_count());
    EXPECT_STREQ("A printer is off-line condition.", model.row_text(0));
    EXPECT_STREQ("A printer is out of paper.", model.row_text(6));

    model.set_announcements(true);
    EXPECT_TRUE(model.list_enabled());
    EXPECT_TRUE(model.hint_visible());
    EXPECT_TRUE(model.renew_enabled());
    for (size_t row = 0; row < model.row_count(); ++row) model.set_row_checked(row, true);
    EXPECT_EQ(dword(0x6040009A), monitor("1_last"));  // every change is remembered at once
    EXPECT_TRUE(monitor("1").empty());                // the masks only by Renew
    model.renew();
    EXPECT_FALSE(model.renew_enabled());
    EXPECT_EQ(dword(0x6040009A), monitor("1"));
    EXPECT_EQ(dword(0), monitor("0"));
    EXPECT_EQ(std::vector<BYTE>{1}, monitor("Enable"));
    EXPECT_EQ(dword(501), value(HKEY_LOCAL_MACHINE, status::kLanguageMonitorKey, "ReadInterval"));
}

TEST(StatusModel, SwitchingOffKeepsTheLastChoiceForSwitchingOnAgain) {
    StatusSettings settings;
    {
        StatusModel model(settings);
        model.start();
        model.set_announcements(true);
        model.set_row_checked(1, true);  // cover open
        model.set_row_checked(6, true);  // paper out
        model.renew();
        model.set_announcements(false);
        for (size_t row = 0; row < model.row_count(); ++row) EXPECT_FALSE(model.row_checked(row));
        EXPECT_FALSE(model.list_enabled());
        EXPECT_FALSE(model.hint_visible());
        EXPECT_TRUE(model.renew_enabled());
        model.set_row_checked(0, true);  // a disabled list takes no marks
        EXPECT_FALSE(model.row_checked(0));
        model.renew();
        EXPECT_EQ(dword(0), monitor("1"));
        EXPECT_EQ(dword(0), monitor("0"));
        EXPECT_EQ(std::vector<BYTE>{0}, monitor("Enable"));
        EXPECT_EQ(dword(500), value(HKEY_LOCAL_MACHINE, status::kLanguageMonitorKey, "ReadInterval"));
        EXPECT_EQ(dword(0x00400010), monitor("1_last"));
        model.set_announcements(true);
        EXPECT_TRUE(model.row_checked(1));
        EXPECT_TRUE(model.row_checked(6));
        EXPECT_FALSE(model.row_checked(0));
    }
    // A new start shows the switch as Renew left it, and the last marks.
    StatusModel again(settings);
    again.start();
    EXPECT_FALSE(again.announcements());
    for (size_t row = 0; row < again.row_count(); ++row) EXPECT_FALSE(again.row_checked(row));
    again.set_announcements(true);
    EXPECT_TRUE(again.row_checked(1));
}

TEST(StatusModel, RenewIsOfferedOnlyForRealChanges) {
    put("Enable", REG_BINARY, {1});
    put("1_last", REG_DWORD, dword(0x00000010));
    StatusSettings settings;
    StatusModel model(settings);
    model.start();
    EXPECT_TRUE(model.announcements());
    EXPECT_TRUE(model.row_checked(6));
    EXPECT_FALSE(model.renew_enabled());
    model.set_row_checked(6, true);  // no change
    EXPECT_FALSE(model.renew_enabled());
    model.set_row_checked(2, true);
    EXPECT_TRUE(model.renew_enabled());
    model.set_row_checked(99, true);  // out of the list: ignored
}

TEST(StatusModel, OddlyStoredValuesReadAsOffAndZero) {
    const std::vector<std::pair<DWORD, std::vector<BYTE>>> enables = {
        {REG_DWORD, dword(1)}, {REG_BINARY, {0}}, {REG_BINARY, {1, 0}}, {REG_BINARY, {}}};
    for (const auto& [type, data] : enables) {
        put("Enable", type, data);
        StatusSettings settings;
        EXPECT_FALSE(settings.read_enabled()) << data.size();
    }
    put("1_last", REG_BINARY, {0x10, 0, 0});
    put("0_last", REG_DWORD, dword(0x80));
    StatusSettings settings;
    EXPECT_EQ(0u, settings.read_last().raised);
    EXPECT_EQ(0x80u, settings.read_last().cleared);
}

}  // namespace
