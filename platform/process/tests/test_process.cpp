// Processes started through CreateProcessA: command-line rules, waits, exit
// codes, and how the program is found.
#include "command_line.h"
#include "qor/process.h"
#include "qor/sysinfo.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using qor::process::parse_command_line;

namespace {

struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
    DWORD error = 0;
    explicit Started(std::string command, const char* directory = nullptr) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWDEFAULT;
        SetLastError(qortest::kStaleError);
        ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info);
        error = GetLastError();
    }
    ~Started() {
        if (!ok) return;
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DWORD exit_code() const {
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        return code;
    }
};

}  // namespace

TEST(ProcessCommandLine, SplitsByThePlatformRules) {
    struct Case {
        const char* line;
        const char* program;
        std::vector<std::string> args;
    } cases[] = {
        {"prog a b", "prog", {"a", "b"}},
        {"\"C:\\Program Files\\x.exe\" /Service", "C:\\Program Files\\x.exe", {"/Service"}},
        {"p \"a b\" c", "p", {"a b", "c"}},
        {"p a\\\\b \\\"q\\\"", "p", {"a\\\\b", "\"q\""}},
        {"p \"x\\\\\" y", "p", {"x\\", "y"}},
        {"p \"say \"\"hi\"\"\"", "p", {"say \"hi\""}},
        {"  p   \t  ", "p", {}},
        {"p \"\"", "p", {""}},
        {"\"unterminated", "unterminated", {}},
    };
    for (const Case& c : cases) {
        auto parsed = parse_command_line(c.line);
        EXPECT_EQ(c.program, parsed.program) << c.line;
        EXPECT_EQ(c.args, parsed.args) << c.line;
    }
}

TEST(Process, WaitEndsWithTheProcessAndKeepsItsExitCode) {
    Started p("sh -c \"exit 7\"");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_NE(0u, p.info.dwProcessId);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.info.hProcess, 10000));
    EXPECT_EQ(7u, p.exit_code());
    // The thread handle is signalled with it, and stays so.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.info.hThread, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.info.hProcess, 0));
}

TEST(Process, RunningProcessTimesOutAndCanBeTerminated) {
    Started p("sleep 30");
    ASSERT_TRUE(p.ok) << p.error;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(p.info.hProcess, 100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(DWORD(STILL_ACTIVE), p.exit_code());
    // A multi-wait sees the end too.
    HANDLE both[] = {p.info.hProcess, p.info.hThread};
    ASSERT_TRUE(TerminateProcess(p.info.hProcess, 42));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, FALSE, 10000));
    EXPECT_EQ(42u, p.exit_code());
    EXPECT_FALSE(TerminateProcess(p.info.hProcess, 1));
}

TEST(Process, ProgramIsFoundWithOrWithoutItsExeNameAndInTheSystemFolder) {
    char system[260];
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    std::string tool = std::string(system) + "/qortool.exe";
    {
        std::ofstream script(tool);
        script << "#!/bin/sh\necho \"$1\" > \"$2\"\n";
    }
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    std::string out = qortest::sandbox() + "/out.txt";
    for (const std::string& name : std::vector<std::string>{"qortool", tool, std::string(system) + "\\QORTOOL.EXE"}) {
        std::filesystem::remove(out);
        Started p("\"" + name + "\" \"hello world\" " + out);
        ASSERT_TRUE(p.ok) << name << ": " << p.error;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.info.hProcess, 10000));
        EXPECT_EQ(0u, p.exit_code()) << name;
        std::ifstream in(out);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ("hello world", line) << name;
    }
    Started missing("qor-no-such-program /x");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), missing.error);
    SetLastError(qortest::kStaleError);
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(nullptr, &code));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}
