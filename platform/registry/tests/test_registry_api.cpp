// The Reg* calls within one process: keys, values, sizes, names, A/W text,
// enumeration, deletion and handle checks.
#include "qor/kernel.h"
#include "qor/registry.h"
#include "qor/strings.h"

#include "qor/support/places.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

class RegistryApi : public ::testing::Test {
protected:
    void SetUp() override {
        qortest::sandbox();
        // Cases share a process when the binary runs on its own: start empty.
        std::remove((qor::places::config_dir() + "/user.reg").c_str());
        std::remove((qor::places::root() + "/registry/machine.reg").c_str());
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\QOR\\ZEM\\StatusMonitor", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key_, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    }
    void TearDown() override {
        if (key_) {
            EXPECT_EQ(RegCloseKey(key_), ERROR_SUCCESS);
        }
    }

    void set_dword(const char* name, DWORD value) {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_SUCCESS);
    }

    static std::string user_hive_text() {
        std::ifstream in(qor::places::config_dir() + "/user.reg");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    HKEY key_ = nullptr;
};

TEST_F(RegistryApi, QuerySizesFollowThePlatformRules) {
    set_dword("1", 0x6040009A);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "1", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(size, 4u);

    BYTE small[2] = {0xEE, 0xEE};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key_, "1", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);

    DWORD value = 0;
    size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key_, "1", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x6040009Au);

    EXPECT_EQ(RegQueryValueExA(key_, "missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key_, "1", nullptr, &type, reinterpret_cast<BYTE*>(&value), nullptr),
              ERROR_INVALID_PARAMETER);

    // The 1-byte "Enable" value: a 4-byte number stored under it is not one byte.
    BYTE one = 1;
    ASSERT_EQ(RegSetValueExA(key_, "Enable", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
    BYTE enable = 0;
    size = 1;
    EXPECT_EQ(RegQueryValueExA(key_, "Enable", nullptr, &type, &enable, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(enable, 1);
    set_dword("Enable", 1);
    size = 1;
    EXPECT_EQ(RegQueryValueExA(key_, "Enable", nullptr, &type, &enable, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
}

TEST_F(RegistryApi, NamesIgnoreCaseAndKeepTheirSpelling) {
    set_dword("Raised", 1);
    set_dword("RAISED", 2);
    HKEY same = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\qor\\zem\\statusmonitor", 0, nullptr, 0, KEY_READ,
                              nullptr, &same, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    DWORD value = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(same, "raised", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    char name[32];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumValueA(same, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Raised");
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);

    std::string text = user_hive_text();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\QOR\\ZEM\\StatusMonitor]\n\"Raised\"=dword:00000002\n"),
              std::string::npos)
        << text;
}

TEST_F(RegistryApi, AnsiAndWideFormsShareStrings) {
    const char ansi[] = "Caf\xE9";  // code page 1252
    ASSERT_EQ(RegSetValueExA(key_, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi), sizeof ansi),
              ERROR_SUCCESS);
    WCHAR wide[16] = {};
    DWORD size = sizeof wide, type = 0;
    ASSERT_EQ(RegQueryValueExW(key_, u"NAME", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::u16string(wide), u"Caf\u00e9");

    const char16_t multi[] = u"ab\0\u00e9\0";
    ASSERT_EQ(RegSetValueExW(key_, u"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi),
              ERROR_SUCCESS);
    char back[16] = {};
    size = 0;
    ASSERT_EQ(RegQueryValueExA(key_, "Multi", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);  // "ab\0\xE9\0\0" in one byte per character
    ASSERT_EQ(RegQueryValueExA(key_, "Multi", nullptr, &type, reinterpret_cast<BYTE*>(back), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(back, "ab\0\xE9\0", 6), 0);
}

TEST_F(RegistryApi, DoubleByteCodePageNamesAndStrings) {
    setenv("QOR_ACP", "932", 1);
    const char name[] = "\x83\x65\x83\x58\x83\x67";  // three katakana in Shift-JIS
    ASSERT_EQ(RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name), ERROR_SUCCESS);
    WCHAR wide[8] = {};
    DWORD size = sizeof wide;
    EXPECT_EQ(RegQueryValueExW(key_, u"\u30c6\u30b9\u30c8", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide), u"\u30c6\u30b9\u30c8");
    char back[16] = {};
    DWORD length = sizeof back;
    size = 0;
    ASSERT_EQ(RegEnumValueA(key_, 0, back, &length, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_STREQ(back, name);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(size, 7u);
    unsetenv("QOR_ACP");
}

TEST_F(RegistryApi, ThreadsWritingTogetherLoseNothing) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            HKEY own = nullptr;
            ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\ZEM\\StatusMonitor", 0, KEY_ALL_ACCESS, &own),
                      ERROR_SUCCESS);
            for (DWORD i = 0; i < 25; ++i) {
                std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
                ASSERT_EQ(RegSetValueExA(own, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4),
                          ERROR_SUCCESS);
                DWORD size = 4, value = ~0u;
                ASSERT_EQ(RegQueryValueExA(own, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                          ERROR_SUCCESS);
                ASSERT_EQ(value, i);
            }
            RegCloseKey(own);
        });
    for (auto& w : writers) w.join();
    char name[16];
    DWORD count = 0;
    for (DWORD length = sizeof name;
         RegEnumValueA(key_, count, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = sizeof name)
        ++count;
    EXPECT_EQ(count, 100u);
}

TEST_F(RegistryApi, EnumeratesInCreationOrder) {
    set_dword("b", 1);
    set_dword("a", 2);
    HKEY sub = nullptr;
    for (const char* name : {"Zeta", "Alpha"}) {
        ASSERT_EQ(RegCreateKeyExA(key_, name, 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    char name[8];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "b");
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key_, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    WCHAR wide[8];
    length = 8;
    uint64_t filetime = 0;
    ASSERT_EQ(RegEnumKeyExW(key_, 1, wide, &length, nullptr, nullptr, nullptr, &filetime), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide), u"Alpha");
    EXPECT_EQ(length, 5u);
    EXPECT_GT(filetime, 116444736000000000ull);  // after 1970
    length = 5;                                   // no room for the terminator
    EXPECT_EQ(RegEnumKeyExW(key_, 1, wide, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 8;
    EXPECT_EQ(RegEnumKeyExW(key_, 2, wide, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryApi, DeletesValuesAndLeafKeysOnly) {
    set_dword("gone", 1);
    EXPECT_EQ(RegDeleteValueA(key_, "GONE"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key_, "gone"), ERROR_FILE_NOT_FOUND);

    HKEY parent = nullptr, child = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\Parent\\Child", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &child, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\Parent", 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QOR\\Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(parent, "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "child"), ERROR_FILE_NOT_FOUND);
    DWORD value = 7;
    EXPECT_EQ(RegSetValueExA(child, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QOR\\Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\Parent", 0, KEY_READ, &parent), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(child);
}

TEST_F(RegistryApi, RejectsForgedClosedAndUnderprivilegedHandles) {
    DWORD value = 1;
    HKEY forged = reinterpret_cast<HKEY>(uintptr_t(0x12345678));
    EXPECT_EQ(RegSetValueExA(forged, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(forged), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &forged), ERROR_INVALID_HANDLE);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(event)), ERROR_INVALID_HANDLE) << "a kernel handle is no key";
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(key_))) << "a key is no kernel handle";
    CloseHandle(event);

    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QOR\\ZEM\\StatusMonitor", 0, KEY_READ, &reader),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(reader, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(reader, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &forged, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(reader, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &reader), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegSetValueExA(key_, "bad\nname", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key_, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApi, MachineHiveIsItsOwnFileAndUnchangedWritesLeaveFilesAlone) {
    HKEY lm = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QOR\\ZEM\\LM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &lm, nullptr),
              ERROR_SUCCESS);
    DWORD interval = 501;
    ASSERT_EQ(RegSetValueExA(lm, "ReadInterval", 0, REG_DWORD, reinterpret_cast<BYTE*>(&interval), 4),
              ERROR_SUCCESS);
    const std::string machine = qor::places::root() + "/registry/machine.reg";
    struct stat before{}, after{};
    ASSERT_EQ(stat(machine.c_str(), &before), 0);
    ASSERT_EQ(RegSetValueExA(lm, "ReadInterval", 0, REG_DWORD, reinterpret_cast<BYTE*>(&interval), 4),
              ERROR_SUCCESS);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QOR\\ZEM\\LM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &again, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(stat(machine.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an unchanged hive must not be rewritten";
    EXPECT_EQ(user_hive_text().find("ReadInterval"), std::string::npos);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(key_, "ReadInterval", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
    RegCloseKey(lm);
}

}  // namespace
