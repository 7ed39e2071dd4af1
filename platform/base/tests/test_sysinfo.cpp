#include "qor/sysinfo.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

TEST(BaseTickCount, IsMonotonicAndFollowsSleep) {
    DWORD previous = GetTickCount();
    for (int i = 0; i < 10000; ++i) {
        DWORD now = GetTickCount();
        ASSERT_LT(static_cast<DWORD>(now - previous), 1000u);  // unsigned: wraps like callers' maths
        previous = now;
    }
    auto start = std::chrono::steady_clock::now();
    DWORD before = GetTickCount();
    Sleep(60);
    DWORD elapsed = GetTickCount() - before;
    auto real = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(elapsed, 59u);  // whole milliseconds of the same clock
    EXPECT_LE(elapsed, static_cast<DWORD>(real.count()) + 1);
    Sleep(0);  // yields and returns
}

TEST(BaseVersion, DefaultIsWindows2000InEveryRecordForm) {
    unsetenv("QOR_PLATFORM_VERSION");
    OSVERSIONINFOA a{};
    a.dwOSVersionInfoSize = sizeof a;
    ASSERT_TRUE(GetVersionExA(&a));
    EXPECT_EQ(5u, a.dwMajorVersion);
    EXPECT_EQ(0u, a.dwMinorVersion);
    EXPECT_EQ(2195u, a.dwBuildNumber);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), a.dwPlatformId);
    EXPECT_STREQ("Service Pack 4", a.szCSDVersion);

    OSVERSIONINFOEXW w{};
    w.dwOSVersionInfoSize = sizeof w;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&w)));
    EXPECT_EQ(u"Service Pack 4", std::u16string(w.szCSDVersion));
    EXPECT_EQ(4, w.wServicePackMajor);
    EXPECT_EQ(VER_NT_WORKSTATION, w.wProductType);

    OSVERSIONINFOA wrong{};
    wrong.dwOSVersionInfoSize = sizeof wrong - 4;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(GetVersionExA(&wrong));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_FALSE(GetVersionExW(nullptr));
}

struct Line {
    const char* value;
    DWORD major, minor, build, platform;
};

class BaseVersionOverride : public ::testing::TestWithParam<Line> {};

TEST_P(BaseVersionOverride, ReportsTheChosenLine) {
    const Line& line = GetParam();
    setenv("QOR_PLATFORM_VERSION", line.value, 1);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(line.major, info.dwMajorVersion);
    EXPECT_EQ(line.minor, info.dwMinorVersion);
    EXPECT_EQ(line.build, info.dwBuildNumber);
    EXPECT_EQ(line.platform, info.dwPlatformId);
}

INSTANTIATE_TEST_SUITE_P(Lines, BaseVersionOverride,
                         ::testing::Values(Line{"4.0-9x", 4, 0, 0x040003B6, VER_PLATFORM_WIN32_WINDOWS},
                                           Line{"4.10", 4, 10, 0x040A07CE, VER_PLATFORM_WIN32_WINDOWS},
                                           Line{"4.0", 4, 0, 1381, VER_PLATFORM_WIN32_NT},
                                           Line{"5.1", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
                                           Line{"9.9", 5, 0, 2195, VER_PLATFORM_WIN32_NT}),
                         [](const auto& line_info) {
                             std::string name = line_info.param.value;
                             for (char& c : name)
                                 if (c == '.' || c == '-') c = '_';
                             return "v" + name;
                         });

TEST(BaseSystemDirectory, LivesUnderRootAndAnswersSizeQueries) {
    std::string expected = std::string(std::getenv("QOR_ROOT")) + "/system32";
    UINT needed = GetSystemDirectoryA(nullptr, 0);
    EXPECT_EQ(expected.size() + 1, needed);
    std::string buffer(needed, '#');
    EXPECT_EQ(expected.size() + 1, GetSystemDirectoryA(buffer.data(), needed - 1));
    EXPECT_EQ('#', buffer[0]);
    EXPECT_EQ(expected.size(), GetSystemDirectoryA(buffer.data(), needed));
    EXPECT_EQ(expected, buffer.c_str());
    struct stat st{};
    EXPECT_EQ(0, stat(expected.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    WCHAR wide[512];
    EXPECT_EQ(expected.size(), GetSystemDirectoryW(wide, 512));
}

TEST(BaseSearchPath, FindsFilesIgnoringCaseAndBackslashes) {
    std::string base = qortest::sandbox() + "/search";
    ASSERT_EQ(0, mkdir(base.c_str(), 0700));
    ASSERT_EQ(0, mkdir((base + "/Help").c_str(), 0700));
    std::ofstream(base + "/Help/QorPrt.Hlp") << "help";

    std::string list = base + "/nothing;" + base + "/help";
    char found[512];
    char* file_part = nullptr;
    DWORD n = SearchPathA(list.c_str(), "qorprt", ".hlp", sizeof found, found, &file_part);
    ASSERT_EQ(std::strlen(found), n);
    EXPECT_EQ(base + "/Help/QorPrt.Hlp", found);
    ASSERT_NE(nullptr, file_part);
    EXPECT_STREQ("QorPrt.Hlp", file_part);

    // A full path with `\` and the wrong case, and the size query.
    std::string windows_style = base + "\\HELP\\qorprt.hlp";
    EXPECT_EQ(n + 1, SearchPathA(nullptr, windows_style.c_str(), nullptr, 4, found, nullptr));
    EXPECT_EQ(n, SearchPathA(nullptr, windows_style.c_str(), nullptr, sizeof found, found, nullptr));

    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0u, SearchPathA(list.c_str(), "missing.hlp", nullptr, sizeof found, found, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, SearchPathA(nullptr, "", nullptr, sizeof found, found, nullptr));
}

}  // namespace
