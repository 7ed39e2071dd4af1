// Processes: CreateProcessA with the platform's command-line rules, and
// process handles that the waits wait on.
#pragma once

#include "qor/kernel.h"

QOR_BEGIN_C

typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

#define STARTF_USESHOWWINDOW 0x00000001
#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11L
#endif
#ifndef SW_SHOWDEFAULT
#define SW_SHOWDEFAULT 10
#endif

// The program is the command line's first token when no application name is
// given: found as a path (with ".exe" tried off and on), else in the
// caller's folder, the current folder, the system folder and PATH. Standard
// handles and other descriptors are not passed on. A process killed by a
// signal has the exit code 128 + the signal number.
QORAPI BOOL CreateProcessA(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                           LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles, DWORD flags,
                           LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                           LPPROCESS_INFORMATION information);
QORAPI BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code);
QORAPI BOOL TerminateProcess(HANDLE process, UINT exit_code);
QORAPI DWORD GetProcessId(HANDLE process);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(STARTUPINFOA) == 104 && offsetof(STARTUPINFOA, dwFlags) == 60 &&
              offsetof(STARTUPINFOA, wShowWindow) == 64 && offsetof(STARTUPINFOA, hStdInput) == 80);
static_assert(sizeof(PROCESS_INFORMATION) == 24 && offsetof(PROCESS_INFORMATION, dwProcessId) == 16);
#endif
