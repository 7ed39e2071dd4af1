// CreateProcessA, GetExitCodeProcess, TerminateProcess.
#include "command_line.h"
#include "process_object.h"
#include "qor/guard.h"
#include "qor/process.h"
#include "qor/support/paths.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/syscall.h>
#include <unistd.h>

extern char** environ;

using namespace qor::process;

namespace {

DWORD error_of_errno(int e) {
    switch (e) {
        case ENOENT:
        case ENOTDIR: return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOEXEC: return ERROR_BAD_FORMAT;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_GEN_FAILURE;
    }
}

// "name=value\0...\0\0" as a list.
std::vector<std::string> environment_block(const char* block) {
    std::vector<std::string> entries;
    while (block && *block) {
        entries.emplace_back(block);
        block += entries.back().size() + 1;
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// posix_spawn with the standard descriptors kept and every other one closed.
int spawn(const std::string& file, std::vector<std::string> argv, const char* environment, const char* directory,
          pid_t& pid) {
    std::vector<std::string> env = environment_block(environment);
    std::vector<char*> argp = pointers(argv);
    std::vector<char*> envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    std::string folder = directory && *directory ? qor::paths::native(directory) : std::string();
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    int r = posix_spawn(&pid, file.c_str(), &actions, nullptr, argp.data(), environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

std::shared_ptr<ProcessObject> lookup_process(HANDLE h) {
    return qor::kernel::lookup_as<ProcessObject>(h, qor::kernel::ObjectType::Process);
}

}  // namespace

extern "C" QORAPI BOOL CreateProcessA(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES,
                                      LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID environment, LPCSTR directory,
                                      LPSTARTUPINFOA startup, LPPROCESS_INFORMATION information) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!startup || !information || (!application && !command_line)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        CommandLine line = parse_command_line(command_line ? command_line : "");
        std::string program = application ? std::string(application) : line.program;
        std::string file = find_program(program);
        if (file.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        // With an application name the whole command line is the argument list.
        std::vector<std::string> argv{line.program.empty() ? program : line.program};
        argv.insert(argv.end(), line.args.begin(), line.args.end());
        pid_t pid = 0;
        if (int r = spawn(file, argv, static_cast<const char*>(environment), directory, pid); r != 0) {
            SetLastError(error_of_errno(r));
            return FALSE;
        }
        int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
        if (pidfd < 0) {  // cannot happen for our own unreaped child but for lack of descriptors
            kill(pid, SIGKILL);
            SetLastError(ERROR_NO_SYSTEM_RESOURCES);
            return FALSE;
        }
        auto object = std::make_shared<ProcessObject>(pid, pidfd);
        HANDLE process = qor::kernel::insert_handle(object);
        HANDLE thread = process ? qor::kernel::insert_handle(object) : nullptr;
        if (!thread) {
            if (process) CloseHandle(process);
            SetLastError(ERROR_NO_SYSTEM_RESOURCES);
            return FALSE;
        }
        // The main thread's handle is the process's: it ends when the process does.
        *information = PROCESS_INFORMATION{process, thread, DWORD(pid), DWORD(pid)};
        return TRUE;
    });
}

extern "C" QORAPI BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto p = lookup_process(process);
        if (!p) return FALSE;
        if (!exit_code) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *exit_code = p->exit_code();
        return TRUE;
    });
}

extern "C" QORAPI BOOL TerminateProcess(HANDLE process, UINT exit_code) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto p = lookup_process(process);
        if (!p) return FALSE;
        if (!p->terminate(exit_code)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return TRUE;
    });
}

extern "C" QORAPI DWORD GetProcessId(HANDLE process) {
    auto p = lookup_process(process);
    return p ? DWORD(p->pid()) : 0;
}
