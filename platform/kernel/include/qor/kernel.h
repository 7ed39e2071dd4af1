// Kernel objects: critical sections, threads, mutexes, events, file
// mappings, files and waits. Named objects live in the per-user namespace
// folder ($QOR_RUNTIME_DIR) and are shared by every process of the user.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// Same field order as the platform's record; the lock itself lives behind
// DebugInfo, allocated by InitializeCriticalSection.
typedef struct _RTL_CRITICAL_SECTION {
    void* DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
typedef LPTHREAD_START_ROUTINE PTHREAD_START_ROUTINE;

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_ABANDONED_0 0x00000080L
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STILL_ACTIVE 259L
#define CREATE_SUSPENDED 0x00000004

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | MUTEX_MODIFY_STATE)
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x3)

#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define SECTION_QUERY 0x0001
#define SECTION_MAP_WRITE 0x0002
#define SECTION_MAP_READ 0x0004
#define FILE_MAP_COPY SECTION_QUERY
#define FILE_MAP_WRITE SECTION_MAP_WRITE
#define FILE_MAP_READ SECTION_MAP_READ
#define FILE_MAP_ALL_ACCESS 0x000F001FL

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

// Critical sections (recursive, process-private).
QORAPI void InitializeCriticalSection(LPCRITICAL_SECTION cs);
QORAPI BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin);
QORAPI void EnterCriticalSection(LPCRITICAL_SECTION cs);
QORAPI BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);
QORAPI void LeaveCriticalSection(LPCRITICAL_SECTION cs);
QORAPI void DeleteCriticalSection(LPCRITICAL_SECTION cs);

// Threads. A thread handle is signalled when the thread has ended.
QORAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack_size,
                           LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD thread_id);
QORAPI DWORD ResumeThread(HANDLE thread);
QORAPI BOOL SetThreadPriority(HANDLE thread, int priority);
QORAPI int GetThreadPriority(HANDLE thread);
QORAPI BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
QORAPI HANDLE GetCurrentThread(void);
QORAPI DWORD GetCurrentThreadId(void);
QORAPI DWORD GetCurrentProcessId(void);

// Mutexes: owned by a thread, recursive for their owner; abandoned when the
// owner thread or process ends without releasing.
QORAPI HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initial_owner, LPCSTR name);
QORAPI HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES sa, BOOL initial_owner, LPCWSTR name);
QORAPI HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);
QORAPI HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name);
QORAPI BOOL ReleaseMutex(HANDLE mutex);

// Events, manual or automatic reset.
QORAPI HANDLE CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manual_reset, BOOL initial_state, LPCSTR name);
QORAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES sa, BOOL manual_reset, BOOL initial_state, LPCWSTR name);
QORAPI HANDLE OpenEventA(DWORD access, BOOL inherit, LPCSTR name);
QORAPI HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);
QORAPI BOOL SetEvent(HANDLE event);
QORAPI BOOL ResetEvent(HANDLE event);

// Waits on mutexes, events and threads.
QORAPI DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
QORAPI DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL wait_all, DWORD milliseconds);

QORAPI BOOL CloseHandle(HANDLE object);

// File mappings: named shared memory (file = INVALID_HANDLE_VALUE), or a
// read-only view of an ordinary file.
QORAPI HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect,
                                 DWORD size_high, DWORD size_low, LPCSTR name);
QORAPI HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect,
                                 DWORD size_high, DWORD size_low, LPCWSTR name);
QORAPI HANDLE OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name);
QORAPI HANDLE OpenFileMappingW(DWORD access, BOOL inherit, LPCWSTR name);
QORAPI LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high,
                            DWORD offset_low, SIZE_T bytes);
QORAPI BOOL UnmapViewOfFile(LPCVOID address);

// Ordinary files; `\` is accepted as a path separator.
QORAPI HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD attributes, HANDLE template_file);
QORAPI HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD attributes, HANDLE template_file);
QORAPI BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read, LPVOID overlapped);
QORAPI BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written, LPVOID overlapped);
QORAPI DWORD GetFileSize(HANDLE file, LPDWORD size_high);
QORAPI DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
QORAPI BOOL DeleteFileA(LPCSTR path);
QORAPI BOOL DeleteFileW(LPCWSTR path);

QOR_END_C
