#include "qor/sysinfo.h"
#include "qor/guard.h"

#include "qor/support/paths.h"
#include "qor/support/places.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <string>

namespace {

struct VersionLine {
    const char* key;
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform;
    const char* service_pack;
    WORD service_pack_major;
};

constexpr VersionLine version_lines[] = {
    {"5.0", 5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4", 4},  // the default
    {"4.0-9x", 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, "", 0},
    {"4.10", 4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, "", 0},
    {"4.90", 4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, "", 0},
    {"4.0", 4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6", 6},
    {"5.1", 5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3", 3},
    {"5.2", 5, 2, 3790, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2},
};

const VersionLine& current_version() {
    const char* wanted = std::getenv("QOR_PLATFORM_VERSION");
    if (wanted)
        for (const auto& line : version_lines)
            if (std::strcmp(line.key, wanted) == 0) return line;
    return version_lines[0];
}

// Fills the fields common to the A and W records; false (with the last
// error) when the caller's record has no size we know.
template <class Info, class InfoEx>
bool fill_version(Info* info, const VersionLine& line) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(Info) && size != sizeof(InfoEx)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    info->dwMajorVersion = line.major;
    info->dwMinorVersion = line.minor;
    // The 9x lines keep the version in the build number's high word.
    info->dwBuildNumber = line.platform == VER_PLATFORM_WIN32_WINDOWS
                              ? (line.major << 24 | line.minor << 16 | line.build)
                              : line.build;
    info->dwPlatformId = line.platform;
    if (size == sizeof(InfoEx)) {
        auto* ex = reinterpret_cast<InfoEx*>(info);
        ex->wServicePackMajor = line.service_pack_major;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = line.platform == VER_PLATFORM_WIN32_NT ? VER_NT_WORKSTATION : 0;
        ex->wReserved = 0;
    }
    return true;
}

std::string system_folder() {
    std::string folder = qor::places::root() + "/system32";
    qor::places::ensure_dir(folder);
    return folder;
}

// Copies `text` with its terminator when it fits and returns its length;
// otherwise returns the size needed, terminator included.
template <class Char>
DWORD copy_or_need(const std::basic_string<Char>& text, Char* buffer, DWORD size) {
    if (!buffer || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
    return static_cast<DWORD>(text.size());
}

std::string with_extension(const std::string& name, const char* extension) {
    if (!extension || !*extension) return name;
    if (qor::paths::file_name_of(name).find('.') != std::string::npos) return name;
    return name + qor::acp_to_utf8(extension);
}

std::vector<std::string> default_search_folders() {
    std::vector<std::string> folders;
    if (auto exe = qor::paths::executable_folder(); !exe.empty()) folders.push_back(exe);
    folders.push_back(qor::paths::absolute("."));
    folders.push_back(system_folder());
    if (const char* path = std::getenv("PATH"))
        for (auto& folder : qor::paths::split_list(path, ':')) folders.push_back(folder);
    return folders;
}

std::string search(const char* path, const std::string& name) {
    if (name.find('/') != std::string::npos) return qor::paths::find_existing(name);
    std::vector<std::string> folders = path ? qor::paths::split_list(qor::paths::native(qor::acp_to_utf8(path)))
                                            : default_search_folders();
    for (const auto& folder : folders) {
        std::string found = qor::paths::find_existing(folder + "/" + name);
        if (!found.empty()) return found;
    }
    return std::string();
}

}  // namespace

extern "C" {

QORAPI DWORD GetTickCount(void) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

QORAPI void Sleep(DWORD milliseconds) {
    qor::guarded_void([&] {
        if (milliseconds == 0) {
            sched_yield();
            return;
        }
        // INFINITE (0xFFFFFFFF) ends only with the process, as there.
        for (;;) {
            timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
            if (milliseconds == 0xFFFFFFFFu) wait = {3600, 0};
            timespec rest{};
            while (nanosleep(&wait, &rest) != 0 && errno == EINTR) wait = rest;
            if (milliseconds != 0xFFFFFFFFu) return;
        }
    });
}

QORAPI BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const VersionLine& line = current_version();
        if (!fill_version<OSVERSIONINFOA, OSVERSIONINFOEXA>(info, line)) return FALSE;
        std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
        std::strncpy(info->szCSDVersion, line.service_pack, sizeof info->szCSDVersion - 1);
        return TRUE;
    });
}

QORAPI BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const VersionLine& line = current_version();
        if (!fill_version<OSVERSIONINFOW, OSVERSIONINFOEXW>(info, line)) return FALSE;
        std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
        for (size_t i = 0; line.service_pack[i] && i + 1 < std::size(info->szCSDVersion); ++i)
            info->szCSDVersion[i] = static_cast<WCHAR>(line.service_pack[i]);
        return TRUE;
    });
}

QORAPI UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return qor::guarded(UINT(0), [&]() -> UINT {
        return copy_or_need(qor::utf8_to_acp(system_folder()), buffer, size);
    });
}

QORAPI UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    return qor::guarded(UINT(0), [&]() -> UINT {
        return copy_or_need(qor::utf8_to_utf16(system_folder()), buffer, size);
    });
}

QORAPI DWORD SearchPathA(LPCSTR path, LPCSTR file, LPCSTR extension, DWORD size, LPSTR buffer,
                         LPSTR* file_part) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        if (!file || !*file || (size && !buffer)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        std::string found = search(path, with_extension(qor::paths::native(qor::acp_to_utf8(file)), extension));
        if (found.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        std::string result = qor::utf8_to_acp(qor::paths::absolute(found));
        DWORD copied = copy_or_need(result, buffer, size);
        if (copied == result.size() && file_part) *file_part = buffer + result.find_last_of('/') + 1;
        return copied;
    });
}

}  // extern "C"
