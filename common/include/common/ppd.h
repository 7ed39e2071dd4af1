// The printer description file reader and its result, PpdData.
//
// A description file ("qorn5001.ppd" for the rendering driver, "qorn5002.ppd"
// for the interface driver, in the driver folder's "3" subfolder) is ANSI
// text with CR LF line ends; its format is written down in
// docs/description-files.md. Both drivers parse it with PPD_Init:
//
//     PpdBlock* block = (PpdBlock*)calloc(1, sizeof(PpdBlock));   // zeroed
//     PPD_AttachTables(block);              // points the four table pointers
//     if (!PPD_Init(&block->data, path)) ... // no device without a description
//
// A caller that keeps its tables elsewhere (the interface driver's static
// tables) sets pPaper, pUserDef, pBin and pKind itself; a null table pointer
// means "no room": the entries are read over and dropped, and the count
// stays 0.
//
// After parsing, every count (NumPaper, NumUserDef, NumBin, NumKind) is the
// number of entries actually stored: never more than the table's capacity,
// never more than the lines the file held. Table loops may trust the counts.
#pragma once

#include "common/papermetrix.h"
#include "qor/base.h"

QOR_BEGIN_C

#define PPD_MAX_PAPER 30
#define PPD_MAX_USERDEF 10
#define PPD_MAX_BIN 5
#define PPD_MAX_KIND 5
#define PPD_MAX_LINE 159      // bytes of one line without its CR LF
#define PPD_MAX_TEXT 63       // bytes of one quoted text
#define PPD_ENTRY_NAME_CHARS 24
#define PPD_NAME_CHARS 16
#define PPD_UINAME_CHARS 24

// A paper source or media kind: its display name and the value stored in
// dmDefaultSource/Bin or in Kind.
#pragma pack(push, 1)
typedef struct _PpdEntry {
    WCHAR Name[PPD_ENTRY_NAME_CHARS];
    WORD Value;
} PpdEntry, *PPpdEntry;
#pragma pack(pop)

// The parsed description. All of it starts zeroed; a key missing from the
// file leaves its field 0. Narrow fields hold the low bits of the number read.
typedef struct _PpdData {
    DWORD Show;          // interface driver: which control groups are shown
    WORD NumPaper;       // entries in pPaper
    WORD NumUserDef;     // entries in pUserDef
    WORD NumBin;         // entries in pBin
    WORD NumKind;        // entries in pKind
    SHORT DefPaper;      // default paper code
    SHORT DefUserPaper;  // index (from 0) of the default user-defined paper
    SHORT DefOrient;
    SHORT DefBin;
    SHORT DefDither;     // 1..5, sign-extended into dmDitherType
    BYTE DefKind;
    BYTE DefDensity;
    BYTE DefQuality;
    BYTE DefBright;      // 150 is neutral
    BYTE DefFont;
    BYTE DefCut;
    BYTE DefMode;
    BYTE MINBright;
    BYTE MAXBright;
    BYTE VALBright;
    BYTE MINDensity;
    BYTE MAXDensity;
    BYTE VALDensity;
    BYTE Reserved;
    WORD MINUserDef;     // shortest user-defined paper length, mm
    WORD MAXUserDef;     // longest user-defined paper length, mm (standard mode)
    DWORD DefResv01;
    DWORD DefResv02;
    DWORD DefResv03;
    DWORD DefResv04;
    DWORD DefResv05;
    DWORD DefResv06;
    DWORD DefResv07;
    DWORD DefResv08;
    DWORD DefResv09;
    DWORD DefResv10;
    DWORD MAXMemory;     // page-mode memory limit of the layout check, bytes
    WCHAR Name[PPD_NAME_CHARS];      // file name of the spooler-side module
    WCHAR UIName[PPD_UINAME_CHARS];  // interface module name
    PaperMetrix* pPaper;             // PPD_MAX_PAPER entries of room
    PaperMetrix* pUserDef;           // PPD_MAX_USERDEF entries of room
    PpdEntry* pBin;                  // PPD_MAX_BIN entries of room
    PpdEntry* pKind;                 // PPD_MAX_KIND entries of room
} PpdData, *PPpdData;

// PpdData with its tables in one block, as the drivers allocate it.
typedef struct _PpdBlock {
    PpdData data;
    PaperMetrix paper[PPD_MAX_PAPER];
    PaperMetrix userdef[PPD_MAX_USERDEF];
    PpdEntry bin[PPD_MAX_BIN];
    PpdEntry kind[PPD_MAX_KIND];
} PpdBlock, *PPpdBlock;

// Points block->data's table pointers at the block's own tables.
void PPD_AttachTables(PpdBlock* block);

// Maps the file at `path` read-only and parses it into `ppd` (which the
// caller zeroed and gave its table pointers). FALSE with the platform's last
// error when the file cannot be opened, sized or mapped (an empty file cannot
// be mapped: ERROR_INVALID_DATA), or ERROR_INVALID_PARAMETER for a null
// argument. Malformed contents are never an error: they read as 0 or are
// skipped. The mapping is released before returning.
BOOL PPD_Init(PpdData* ppd, LPCWSTR path);

// Parses description text already in memory, with the same rules and bounds
// as PPD_Init (used by PPD_Init itself, the tests and the fuzzer). FALSE only
// for a null ppd, or null data with a non-zero size.
BOOL PPD_Parse(PpdData* ppd, const void* data, DWORD size);

// Opens `path` for reading (shared for reading), takes its size into *size
// (when size is given), maps it read-only and returns the view in both *view (to unmap with
// UnmapViewOfFile) and *read (where reading starts). The file and mapping
// handles are closed before returning; the view stays valid until unmapped.
BOOL MAPFILE(LPCWSTR path, LPVOID* view, LPVOID* read, LPDWORD size);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(PpdEntry) == 50);
static_assert(offsetof(PpdEntry, Value) == 48);
// PpdData holds pointers and stays in memory; only the scalar head is fixed.
static_assert(offsetof(PpdData, DefPaper) == 12);
static_assert(offsetof(PpdData, DefKind) == 22);
static_assert(offsetof(PpdData, MINBright) == 29);
static_assert(offsetof(PpdData, MINUserDef) == 36);
static_assert(offsetof(PpdData, DefResv01) == 40);
static_assert(offsetof(PpdData, MAXMemory) == 80);
static_assert(offsetof(PpdData, Name) == 84);
static_assert(offsetof(PpdData, UIName) == 116);
static_assert(offsetof(PpdData, pPaper) >= 164);
#endif
