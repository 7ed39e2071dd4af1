#include "qor/module.h"
#include "qor/strings.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int counter(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

std::string file_name(HMODULE module) {
    char path[4096];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, n);
}

template <class Function>
Function bind(HMODULE module, const char* name) {
    // Through void(*)(), the one cast -Wcast-function-type accepts.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

TEST(BaseLoader, PlatformNamesInAnyCaseShareOneCountedModule) {
    int attached = counter("QORTEST_ATTACH");
    int detached = counter("QORTEST_DETACH");
    HMODULE first = LoadLibraryA("QORTESTMOD.DLL");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, LoadLibraryA("qortestmod"));
    EXPECT_EQ(first, LoadLibraryW(u"QorTestMod.Dll"));
    EXPECT_EQ(attached + 1, counter("QORTEST_ATTACH"));

    auto add = bind<int (*)(int, int)>(first, "AddNumbers");
    ASSERT_NE(nullptr, add);
    EXPECT_EQ(5, add(2, 3));
    // The entry point got the same handle LoadLibrary returns.
    EXPECT_EQ(first, bind<HINSTANCE (*)()>(first, "EntryInstance")());
    EXPECT_EQ(qortest::bin_dir() + "/QORTESTMOD.so", file_name(first));

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(detached, counter("QORTEST_DETACH"));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(detached + 1, counter("QORTEST_DETACH"));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(first, "AddNumbers"));

    // A fresh load attaches again.
    HMODULE again = LoadLibraryA("qortestmod.dll");
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(attached + 2, counter("QORTEST_ATTACH"));
    EXPECT_TRUE(FreeLibrary(again));
}

TEST(BaseLoader, BackslashPathsAndRootRelativePaths) {
    HMODULE by_name = LoadLibraryA("QORTESTMOD.DLL");
    ASSERT_NE(nullptr, by_name);
    std::string windows_path = qortest::bin_dir() + "\\qortestmod.DLL";
    for (char& c : windows_path)
        if (c == '/') c = '\\';
    EXPECT_EQ(by_name, LoadLibraryA(windows_path.c_str()));

    // A driver folder under QOR_ROOT, named as the platform would.
    std::string root = std::getenv("QOR_ROOT");
    std::filesystem::create_directories(root + "/Drivers/3");
    std::filesystem::copy_file(qortest::bin_dir() + "/QORTESTMOD.so", root + "/Drivers/3/QORTESTMOD.so");
    HMODULE copy = LoadLibraryA("drivers\\3\\QorTestMod.Dll");
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(by_name, copy);
    EXPECT_EQ(root + "/Drivers/3/QORTESTMOD.so", file_name(copy));
    EXPECT_EQ(copy, GetModuleHandleA((root + "\\drivers\\3\\qortestmod.dll").c_str()));
    EXPECT_TRUE(FreeLibrary(copy));
    EXPECT_TRUE(FreeLibrary(by_name));
    EXPECT_TRUE(FreeLibrary(by_name));
}

TEST(BaseLoader, MissingModulesAndExportsAreReported) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, LoadLibraryA("NOSUCH.DLL"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, LoadLibraryA(""));
    EXPECT_EQ(nullptr, LoadLibraryExA("QORTESTMOD.DLL", reinterpret_cast<HANDLE>(1), 0));

    HMODULE module = LoadLibraryA("QORTESTMOD.DLL");
    ASSERT_NE(nullptr, module);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, GetProcAddress(module, "NoSuchExport"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    // Only the module's own exports, not those of what it links.
    EXPECT_EQ(nullptr, GetProcAddress(module, "GetLastError"));
    EXPECT_EQ(nullptr, GetProcAddress(module, MAKEINTRESOURCEA(1)));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, GetProcAddress(reinterpret_cast<HMODULE>(0x5000), "AddNumbers"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(BaseLoader, RefusedAttachFailsTheLoadAfterDetach) {
    unsetenv("QORTEST_REFUSED_DETACH");
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, LoadLibraryA("QORTESTREFUSE.DLL"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DLL_INIT_FAILED), GetLastError());
    EXPECT_EQ(1, counter("QORTEST_REFUSED_DETACH"));
    EXPECT_EQ(nullptr, GetModuleHandleA("QORTESTREFUSE.DLL"));
    // As a data file the entry point is not called, so it loads; an
    // ordinary load of it later still attaches, and is still refused.
    HMODULE data = LoadLibraryExA("QORTESTREFUSE.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(1, counter("QORTEST_REFUSED_DETACH"));
    EXPECT_EQ(nullptr, LoadLibraryA("QORTESTREFUSE.DLL"));
    EXPECT_EQ(2, counter("QORTEST_REFUSED_DETACH"));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_EQ(nullptr, GetModuleHandleA("QORTESTREFUSE.DLL"));
}

TEST(BaseLoader, DataFileLoadIsAttachedByALaterOrdinaryLoad) {
    int attached = counter("QORTEST_ATTACH");
    int detached = counter("QORTEST_DETACH");
    HMODULE data = LoadLibraryExA("QORTESTMOD.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(attached, counter("QORTEST_ATTACH"));
    EXPECT_EQ(data, LoadLibraryA("QORTESTMOD.DLL"));
    EXPECT_EQ(attached + 1, counter("QORTEST_ATTACH"));
    EXPECT_EQ(data, LoadLibraryExA("QORTESTMOD.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(attached + 1, counter("QORTEST_ATTACH"));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_EQ(detached, counter("QORTEST_DETACH"));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_EQ(detached + 1, counter("QORTEST_DETACH"));
}

TEST(BaseLoader, ModuleHandlesAndFileNames) {
    int detached = counter("QORTEST_DETACH");
    SetLastError(0);
    EXPECT_EQ(nullptr, GetModuleHandleA("QORTESTMOD.DLL"));  // not loaded yet
    HMODULE module = LoadLibraryA("QORTESTMOD.DLL");
    EXPECT_EQ(module, GetModuleHandleA("qortestmod"));
    EXPECT_EQ(module, GetModuleHandleW(u"QORTESTMOD.DLL"));
    // GetModuleHandle adds no reference: one FreeLibrary unloads.
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(detached + 1, counter("QORTEST_DETACH"));

    HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(nullptr, program);
    EXPECT_EQ(program, GetModuleHandleW(nullptr));
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(exe, file_name(nullptr));
    EXPECT_EQ(exe, file_name(program));
    EXPECT_TRUE(FreeLibrary(program));  // pinned: nothing happens
    EXPECT_EQ(program, GetModuleHandleA(nullptr));

    char small[5];
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(5u, GetModuleFileNameA(nullptr, small, sizeof small));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(exe.substr(0, 4), small);
    WCHAR wide[4096];
    EXPECT_EQ(exe.size(), GetModuleFileNameW(nullptr, wide, 4096));
    EXPECT_EQ(0u, GetModuleFileNameA(reinterpret_cast<HMODULE>(0x5000), small, sizeof small));
}

class BaseResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryA("QORTESTRES.DLL");
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override { FreeLibrary(module); }
    HMODULE module = nullptr;
};

TEST_F(BaseResources, BinaryResourceByNumberAndName) {
    std::ifstream file(QORTEST_GLYPHS, std::ios::binary);
    std::vector<char> expected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(63928u, expected.size());

    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(63928u, SizeofResource(module, found));
    auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(0, std::memcmp(expected.data(), data, expected.size()));
    EXPECT_EQ(found, FindResourceA(module, "#100", MAKEINTRESOURCEA(10)));

    HRSRC named = FindResourceW(module, u"main", u"GLYPHSET");
    ASSERT_NE(nullptr, named);
    EXPECT_EQ(found == named, false);
    EXPECT_EQ(63928u, SizeofResource(module, named));
    EXPECT_EQ(named, FindResourceExA(module, "glyphSet", "MAIN", 0));
    EXPECT_FALSE(FreeResource(LoadResource(module, named)));
}

TEST_F(BaseResources, MissingResourcesAndForgedHandles) {
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, FindResourceA(module, MAKEINTRESOURCEA(101), RT_RCDATA));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, FindResourceA(module, MAKEINTRESOURCEA(100), RT_BITMAP));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());

    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA);
    auto forged = reinterpret_cast<HRSRC>(reinterpret_cast<char*>(found) + 1);
    EXPECT_EQ(0u, SizeofResource(module, forged));
    EXPECT_EQ(nullptr, LoadResource(module, forged));
    int local = 0;
    EXPECT_EQ(nullptr, LoadResource(module, &local));

    // A module without resources.
    HMODULE plain = LoadLibraryA("QORTESTMOD.DLL");
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, FindResourceA(plain, MAKEINTRESOURCEA(100), RT_RCDATA));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
    WCHAR text[8];
    EXPECT_EQ(0, LoadStringW(plain, 1, text, 8));
    FreeLibrary(plain);
}

TEST_F(BaseResources, WideStringsCopiedTruncatedOrInPlace) {
    EXPECT_EQ(std::string("Paper out"), std::getenv("QORTEST_ATTACH_STRING"));
    WCHAR text[64];
    EXPECT_EQ(9, LoadStringW(module, 1, text, 64));
    EXPECT_EQ(u"Paper out", std::u16string(text));
    EXPECT_EQ(4, LoadStringW(module, 1, text, 5));
    EXPECT_EQ(u"Pape", std::u16string(text));
    EXPECT_EQ(u"Caf\u00e9 \"quoted\"\n", std::u16string(text, LoadStringW(module, 2, text, 64)));
    EXPECT_EQ(u"\u65e5\u672c\u8a9e\u30c6\u30b9\u30c8", std::u16string(text, LoadStringW(module, 17, text, 64)));
    EXPECT_EQ(u"UTF-8 literal: \u00e9", std::u16string(text, LoadStringW(module, 100, text, 64)));

    const WCHAR* in_place = nullptr;
    EXPECT_EQ(9, LoadStringW(module, 1, reinterpret_cast<LPWSTR>(&in_place), 0));
    ASSERT_NE(nullptr, in_place);
    EXPECT_EQ(u"Paper out", std::u16string(in_place, 9));

    text[0] = u'x';
    EXPECT_EQ(0, LoadStringW(module, 3, text, 64));  // empty string
    EXPECT_EQ(0, LoadStringW(module, 4, text, 64));  // free slot in a block
    EXPECT_EQ(0, LoadStringW(module, 40, text, 64));  // no such block
    EXPECT_EQ(u'\0', text[0]);
}

TEST_F(BaseResources, NarrowStringsFollowTheAnsiCodePage) {
    char text[64];
    setenv("QOR_ACP", "1252", 1);
    EXPECT_EQ(14, LoadStringA(module, 2, text, 64));
    EXPECT_STREQ("Caf\xe9 \"quoted\"\n", text);
    EXPECT_EQ(3, LoadStringA(module, 1, text, 4));
    EXPECT_STREQ("Pap", text);

    setenv("QOR_ACP", "932", 1);
    EXPECT_EQ(12, LoadStringA(module, 17, text, 64));
    EXPECT_STREQ("\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x58\x83\x67", text);
    // Seven bytes of room hold three whole characters, never half of one.
    EXPECT_EQ(6, LoadStringA(module, 17, text, 8));
    EXPECT_STREQ("\x93\xfa\x96\x7b\x8c\xea", text);
    EXPECT_EQ(0, LoadStringA(module, 1, nullptr, 8));
}

TEST_F(BaseResources, ScriptResourcesJoinTheTable) {
    HRSRC dialog = FindResourceA(module, MAKEINTRESOURCEA(102), RT_DIALOG);
    ASSERT_NE(nullptr, dialog);
    auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, dialog)));
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(2, bytes[8]);  // two controls
    char text[32];
    EXPECT_EQ(15, LoadStringA(module, 50, text, sizeof text));
    EXPECT_STREQ("From the script", text);
    EXPECT_EQ(9, LoadStringA(module, 1, text, sizeof text));  // the string list's strings stay
}

TEST(BaseProgramResources, TheExecutableCarriesItsOwnTable) {
    char text[32];
    EXPECT_EQ(16, LoadStringA(nullptr, 7, text, sizeof text));
    EXPECT_STREQ("from the program", text);
    EXPECT_EQ(16, LoadStringA(GetModuleHandleA(nullptr), 7, text, sizeof text));
}

}  // namespace
