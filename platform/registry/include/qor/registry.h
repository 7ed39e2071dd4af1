// The registry: keys and values in two hives (current user, local machine),
// shared by every process, with change notification.
#pragma once

#include "qor/kernel.h"

QOR_BEGIN_C

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_NOTIFY_CHANGE_NAME 0x00000001L
#define REG_NOTIFY_CHANGE_ATTRIBUTES 0x00000002L
#define REG_NOTIFY_CHANGE_LAST_SET 0x00000004L
#define REG_NOTIFY_CHANGE_SECURITY 0x00000008L

QORAPI LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name,
                            DWORD options, REGSAM sam, LPSECURITY_ATTRIBUTES sa,
                            PHKEY result, LPDWORD disposition);
QORAPI LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR class_name,
                            DWORD options, REGSAM sam, LPSECURITY_ATTRIBUTES sa,
                            PHKEY result, LPDWORD disposition);
QORAPI LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM sam, PHKEY result);
QORAPI LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM sam, PHKEY result);
QORAPI LONG RegCloseKey(HKEY key);
QORAPI LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD size);
QORAPI LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD size);
QORAPI LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD size);
QORAPI LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD size);
QORAPI LONG RegDeleteValueA(HKEY key, LPCSTR name);
QORAPI LONG RegDeleteValueW(HKEY key, LPCWSTR name);
QORAPI LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key);
QORAPI LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key);
QORAPI LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length,
                          LPDWORD reserved, LPSTR class_name, LPDWORD class_length,
                          void* last_write_time);
QORAPI LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length,
                          LPDWORD reserved, LPWSTR class_name, LPDWORD class_length,
                          void* last_write_time);
QORAPI LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
QORAPI LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
QORAPI LONG RegNotifyChangeKeyValue(HKEY key, BOOL watch_subtree, DWORD filter,
                                    HANDLE event, BOOL asynchronous);

QOR_END_C
