// Loadable modules (shared objects) and the resources they carry.
//
// Names: "QORCIL.DLL", "qorcil" and "QorCil.dll" all find QORCIL.so. A name
// without a folder is matched case-insensitively among the loaded modules,
// then in the executable's folder, the folder of libqorplatform.so and the
// system folder (GetSystemDirectory). A relative path with a folder is taken
// under QOR_ROOT, then under the executable's folder. A full path is taken as
// it is. `\` is a path separator; ".dll" becomes ".so"; a name without an
// extension gets ".so"; every path component matches case-insensitively.
//
// On the first load the module's exported DllEntryPoint (else DllMain), of
// type QOR_DLL_ENTRY, is called with DLL_PROCESS_ATTACH; FALSE from it fails
// the load with ERROR_DLL_INIT_FAILED. The last FreeLibrary calls it with
// DLL_PROCESS_DETACH before the module is unloaded. Thread attach and detach
// are not sent, nor is detach at process exit. A module first loaded as a
// data file is attached by its first ordinary load. An HMODULE is also the
// module's HINSTANCE.
//
// Resources: a module carries them in one table that its exported function
// QorResources (a QOR_RESOURCE_FUNCTION) returns; a function rather than a
// variable, because every module and program has one, like DllMain. Modules
// do not write it by hand: in CMake,
//
//   qor_embed_resources(<target>
//       [RCDATA <id-or-name> <file>]...
//       [RESOURCE <type-id-or-name> <id-or-name> <file>]...
//       [STRINGS <file>]...
//       [SCRIPT <file.rc>]... [INCLUDE <dir>]...)
//
// generates it with the qorrc tool (platform/modules/tools/). A SCRIPT is a
// resource script: DIALOG, DIALOGEX, MENU, ACCELERATORS, STRINGTABLE, ICON,
// VERSIONINFO and RCDATA statements, with #include'd #define identifiers and
// the platform's style names, in the platform's binary layouts (see
// docs/desktop.md). Call it once
// per target. Ids are numbers; names are letters, digits and '_' and match
// case-insensitively. A STRINGS file holds one string per line,
//     <id> "<text>"
// in UTF-8 with the escapes \n \t \r \\ \" \xHH and \uHHHH; '#' starts a
// comment line. The strings become RT_STRING blocks in the platform's layout
// (16 strings per block, each a WORD length and that many UTF-16 units).
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008

#ifndef ERROR_DLL_INIT_FAILED
#define ERROR_DLL_INIT_FAILED 1114L
#endif
#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

typedef BOOL (*QOR_DLL_ENTRY)(HINSTANCE instance, DWORD reason, LPVOID reserved);

QORAPI HMODULE LoadLibraryA(LPCSTR name);
QORAPI HMODULE LoadLibraryW(LPCWSTR name);
// DONT_RESOLVE_DLL_REFERENCES and LOAD_LIBRARY_AS_DATAFILE skip the entry
// point; the file argument must be null.
QORAPI HMODULE LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags);
QORAPI HMODULE LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags);
QORAPI BOOL FreeLibrary(HMODULE module);
// Exports by name; ordinals (MAKEINTRESOURCE values) are not supported and
// give ERROR_PROC_NOT_FOUND. A null module means the executable.
QORAPI FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// A module already loaded, without adding a reference; null = executable.
QORAPI HMODULE GetModuleHandleA(LPCSTR name);
QORAPI HMODULE GetModuleHandleW(LPCWSTR name);
// The real path of the module's file (null = executable). A short buffer
// gets the truncated, terminated path; the result is then `size` and the
// last error ERROR_INSUFFICIENT_BUFFER.
QORAPI DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
QORAPI DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// Accepted for source compatibility; thread notifications are never sent.
QORAPI BOOL DisableThreadLibraryCalls(HMODULE module);

// ---- resources ----

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_FONTDIR MAKEINTRESOURCE(7)
#define RT_FONT MAKEINTRESOURCE(8)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_MESSAGETABLE MAKEINTRESOURCE(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)

// One resource: type and name are each a number (the *_id field, the name
// pointer null) or an upper-case name (the id 0).
typedef struct QOR_RESOURCE {
    WORD type_id;
    WORD name_id;
    DWORD size;
    const char* type_name;
    const char* name;
    const void* data;
} QOR_RESOURCE;

#define QOR_RESOURCE_MAGIC 0x53455251u /* "QRES" */
#define QOR_RESOURCE_VERSION 1u

// What a module's exported `QorResources` function returns.
typedef struct QOR_RESOURCE_TABLE {
    DWORD magic;
    DWORD version;
    DWORD count;
    const QOR_RESOURCE* entries;
} QOR_RESOURCE_TABLE;

typedef const QOR_RESOURCE_TABLE* (*QOR_RESOURCE_FUNCTION)(void);

#define QOR_RESOURCE_SYMBOL "QorResources"

// Names may be MAKEINTRESOURCE values, "#123" or names (case-insensitive).
// A null module means the executable.
QORAPI HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
QORAPI HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
QORAPI HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
QORAPI HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
QORAPI HGLOBAL LoadResource(HMODULE module, HRSRC resource);
QORAPI LPVOID LockResource(HGLOBAL data);
QORAPI DWORD SizeofResource(HMODULE module, HRSRC resource);
// Resources stay until the module unloads; this only reports FALSE.
QORAPI BOOL FreeResource(HGLOBAL data);
// The string `id` of the module's string table. W with size 0 stores a
// read-only pointer to the (unterminated) text in *(LPCWSTR*)buffer and
// returns its length. Otherwise the text is copied, truncated to size-1 and
// terminated; the A form converts to the ANSI code page. 0 when missing.
QORAPI int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
QORAPI int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(QOR_RESOURCE) == 32 && offsetof(QOR_RESOURCE, size) == 4 &&
              offsetof(QOR_RESOURCE, type_name) == 8 && offsetof(QOR_RESOURCE, name) == 16 &&
              offsetof(QOR_RESOURCE, data) == 24, "QOR_RESOURCE layout (LP64)");
static_assert(sizeof(QOR_RESOURCE_TABLE) == 24 && offsetof(QOR_RESOURCE_TABLE, count) == 8 &&
              offsetof(QOR_RESOURCE_TABLE, entries) == 16, "QOR_RESOURCE_TABLE layout (LP64)");
#endif
