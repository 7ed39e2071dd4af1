// The ANSI code page and conversions between narrow and wide (UTF-16) text.
// The code page is 1252 unless QOR_ACP selects 932, 949 or 950.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

QORAPI UINT GetACP(void);
QORAPI UINT GetOEMCP(void);
QORAPI int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length,
                               LPWSTR wide, int wide_length);
QORAPI int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int wide_length,
                               LPSTR text, int length, LPCSTR default_char, LPBOOL used_default);
QORAPI BOOL IsDBCSLeadByte(BYTE test);
QORAPI BOOL IsDBCSLeadByteEx(UINT code_page, BYTE test);
QORAPI LPSTR CharNextA(LPCSTR text);

QORAPI int lstrlenA(LPCSTR text);
QORAPI int lstrlenW(LPCWSTR text);
QORAPI LPWSTR lstrcpyW(LPWSTR dest, LPCWSTR src);
QORAPI LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR src, int max);
QORAPI LPWSTR lstrcatW(LPWSTR dest, LPCWSTR src);
QORAPI int lstrcmpW(LPCWSTR a, LPCWSTR b);
QORAPI int lstrcmpiW(LPCWSTR a, LPCWSTR b);
QORAPI int lstrcmpiA(LPCSTR a, LPCSTR b);

QOR_END_C
