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
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#endif

// Conversions: length -1 means zero-terminated (the terminator is converted
// and counted); an output size of 0 returns the size needed; a buffer too
// small fails with ERROR_INSUFFICIENT_BUFFER; bad arguments or flags fail with
// ERROR_INVALID_PARAMETER; MB_ERR_INVALID_CHARS (and WC_ERR_INVALID_CHARS for
// CP_UTF8) turn ill-formed input into ERROR_NO_UNICODE_TRANSLATION instead of
// '?' (U+FFFD for UTF-8). Wide characters a code page lacks become the
// default character, '?' unless one is given. Code pages: CP_ACP,
// CP_THREAD_ACP, CP_OEMCP (437 beside 1252), 1252, 437, 932, 949, 950, CP_UTF8.

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
QORAPI LPSTR lstrcpyA(LPSTR dest, LPCSTR src);
QORAPI LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int max);
QORAPI LPSTR lstrcatA(LPSTR dest, LPCSTR src);
QORAPI int lstrcmpA(LPCSTR a, LPCSTR b);
QORAPI LPWSTR lstrcpyW(LPWSTR dest, LPCWSTR src);
QORAPI LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR src, int max);
QORAPI LPWSTR lstrcatW(LPWSTR dest, LPCWSTR src);
QORAPI int lstrcmpW(LPCWSTR a, LPCWSTR b);
QORAPI int lstrcmpiW(LPCWSTR a, LPCWSTR b);
QORAPI int lstrcmpiA(LPCSTR a, LPCSTR b);

QOR_END_C
