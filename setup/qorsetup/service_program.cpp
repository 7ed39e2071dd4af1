// Running the service program the way an installer does.
#include "service_program.h"

#include "qor/process.h"
#include "qor/sysinfo.h"

namespace qorsetup {

namespace {
constexpr DWORD kPathSize = 260;
constexpr DWORD kRunTimeoutMs = 10000;
}  // namespace

std::string find_service_program() {
    char system[kPathSize] = {};
    UINT n = GetSystemDirectoryA(system, kPathSize);
    if (n == 0 || n >= kPathSize) return {};
    char found[kPathSize] = {};
    LPSTR file_part = nullptr;
    DWORD m = SearchPathA(system, "qorcsp.exe", ".EXE", kPathSize, found, &file_part);
    if (m == 0 || m >= kPathSize) return {};
    return found;
}

RunResult run_service_program(const std::string& program, const char* switch_text) {
    std::string command = program + switch_text;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return RunResult::NotStarted;
    CloseHandle(info.hThread);
    DWORD wait = WaitForSingleObject(info.hProcess, kRunTimeoutMs);
    CloseHandle(info.hProcess);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? RunResult::Finished : RunResult::StillRunning;
}

}  // namespace qorsetup
