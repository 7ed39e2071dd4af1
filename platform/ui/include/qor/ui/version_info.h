// Version records (VS_VERSIONINFO resources, as qorrc writes them) read
// from a module's file. Included by qor/ui/windows.h.
#pragma once

#include "qor/ui/windows.h"

QOR_BEGIN_C

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#ifndef ERROR_RESOURCE_TYPE_NOT_FOUND
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#endif

// Bytes the file's version record takes; 0 (ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_FILE_NOT_FOUND or ERROR_INVALID_DATA) when it has none or a
// malformed one. *handle is set to 0.
QORAPI DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle);
// Copies at most `size` bytes of the record into `data`.
QORAPI BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data);
// `sub_block`: "\" for the VS_FIXEDFILEINFO, "\VarFileInfo\Translation"
// for the language and code-page words, "\StringFileInfo\<lang><cp>\<name>"
// for a text (its *length counts characters with the terminator). Keys
// match case-insensitively. *value points into `block`. A block whose
// lengths do not hold together answers FALSE.
QORAPI BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* value, UINT* length);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(VS_FIXEDFILEINFO) == 52 && offsetof(VS_FIXEDFILEINFO, dwProductVersionMS) == 16 &&
              offsetof(VS_FIXEDFILEINFO, dwFileDateLS) == 48, "VS_FIXEDFILEINFO layout");
#endif
