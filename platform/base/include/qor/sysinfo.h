// Time, version and system folders.
//
// GetVersionEx reports Windows 2000 (5.0, build 2195, VER_PLATFORM_WIN32_NT,
// "Service Pack 4") unless QOR_PLATFORM_VERSION names another line, so the
// deliverables' version branches can be tested:
//   "4.0-9x"  Windows 95    4.0.950   VER_PLATFORM_WIN32_WINDOWS
//   "4.10"    Windows 98    4.10.1998 VER_PLATFORM_WIN32_WINDOWS
//   "4.90"    Windows Me    4.90.3000 VER_PLATFORM_WIN32_WINDOWS
//   "4.0"     Windows NT 4  4.0.1381  VER_PLATFORM_WIN32_NT, "Service Pack 6"
//   "5.0"     Windows 2000  (the default)
//   "5.1"     Windows XP    5.1.2600  VER_PLATFORM_WIN32_NT, "Service Pack 3"
//   "5.2"     Server 2003   5.2.3790  VER_PLATFORM_WIN32_NT, "Service Pack 2"
// Any other value is ignored. On the 9x lines the build number's high word
// carries the major and minor version, as there.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW;

typedef struct _OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

typedef struct _OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXW, *POSVERSIONINFOEXW, *LPOSVERSIONINFOEXW;

// Milliseconds since an arbitrary start (CLOCK_MONOTONIC); wraps at 2^32.
QORAPI DWORD GetTickCount(void);
QORAPI void Sleep(DWORD milliseconds);
// dwOSVersionInfoSize must be the size of the plain or the EX record;
// anything else fails with ERROR_INSUFFICIENT_BUFFER.
QORAPI BOOL GetVersionExA(LPOSVERSIONINFOA info);
QORAPI BOOL GetVersionExW(LPOSVERSIONINFOW info);
// $QOR_ROOT/system32, created on demand. Returns the length without the
// terminator, or the size needed (with it) when the buffer is too small.
QORAPI UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
QORAPI UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
// Looks for `file` (plus `extension` when it has none) in the folders of the
// ';'-separated `path`, or when path is null in the executable's folder, the
// current folder, the system folder and $PATH. Names match
// case-insensitively and `\` separates folders. Returns the length of the
// full path found, the size needed when the buffer is too small, or 0 with
// ERROR_FILE_NOT_FOUND. *file_part (if given) points at the file name.
QORAPI DWORD SearchPathA(LPCSTR path, LPCSTR file, LPCSTR extension, DWORD size, LPSTR buffer,
                         LPSTR* file_part);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(OSVERSIONINFOA) == 148 && offsetof(OSVERSIONINFOA, szCSDVersion) == 20, "OSVERSIONINFOA");
static_assert(sizeof(OSVERSIONINFOW) == 276 && offsetof(OSVERSIONINFOW, szCSDVersion) == 20, "OSVERSIONINFOW");
static_assert(sizeof(OSVERSIONINFOEXA) == 156 && offsetof(OSVERSIONINFOEXA, wServicePackMajor) == 148 &&
              offsetof(OSVERSIONINFOEXA, wSuiteMask) == 152 && offsetof(OSVERSIONINFOEXA, wProductType) == 154,
              "OSVERSIONINFOEXA");
static_assert(sizeof(OSVERSIONINFOEXW) == 284 && offsetof(OSVERSIONINFOEXW, wServicePackMajor) == 276 &&
              offsetof(OSVERSIONINFOEXW, wSuiteMask) == 280 && offsetof(OSVERSIONINFOEXW, wProductType) == 282,
              "OSVERSIONINFOEXW");
#endif
