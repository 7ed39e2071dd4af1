// The description-file reader: lines, words, keys and values of a mapped
// description file into PpdData. Every step is bounded by the bytes left in
// the view, the line buffer, the text limit and the table capacities, so a
// truncated or hostile file reads as far as it is well formed and no further.
#include "common/ppd.h"

#include "qor/strings.h"

#include <string.h>

namespace {

#define PPD_MAX_WORD 80

typedef struct _PPDREADER {
    DWORD cbRemain;                  // bytes of the view not yet read
    const BYTE* pRead;               // next byte to read
    CHAR szLine[PPD_MAX_LINE + 1];   // the current line, NUL-terminated
    DWORD iCursor;                   // read position inside szLine
    BOOL bEnd;                       // the data is used up
    const BYTE* pView;               // start of the data
} PPDREADER;

enum { KEY_NUMBER, KEY_TEXT, KEY_TABLE };
enum { TABLE_PAPER, TABLE_USERDEF, TABLE_BIN, TABLE_KIND };

typedef struct _PPDKEY {
    const CHAR* szKey;
    int nId;
    int nKind;
    size_t cbOffset;  // field in PpdData (the count field for a table)
    int nSize;        // bytes of a number field, characters of a text field
    int nTable;       // TABLE_* for a table key
} PPDKEY;

#define NUMBER_KEY(key, id, field) \
    { key, id, KEY_NUMBER, offsetof(PpdData, field), (int)sizeof(PpdData::field), 0 }
#define TEXT_KEY(key, id, field) \
    { key, id, KEY_TEXT, offsetof(PpdData, field), (int)(sizeof(PpdData::field) / sizeof(WCHAR)), 0 }
#define TABLE_KEY(key, id, field, table) \
    { key, id, KEY_TABLE, offsetof(PpdData, field), (int)sizeof(PpdData::field), table }

const PPDKEY g_KeyTable[] = {
    NUMBER_KEY("Show=", 1, Show),
    NUMBER_KEY("DefPaper=", 2, DefPaper),
    NUMBER_KEY("DefUserPaper=", 3, DefUserPaper),
    NUMBER_KEY("DefOrient=", 4, DefOrient),
    NUMBER_KEY("DefKind=", 5, DefKind),
    NUMBER_KEY("DefBin=", 6, DefBin),
    NUMBER_KEY("DefDither=", 7, DefDither),
    NUMBER_KEY("DefQuality=", 8, DefQuality),
    NUMBER_KEY("DefBright=", 9, DefBright),
    NUMBER_KEY("DefDensity=", 10, DefDensity),
    NUMBER_KEY("DefFont=", 11, DefFont),
    NUMBER_KEY("DefCut=", 12, DefCut),
    NUMBER_KEY("DefMode=", 13, DefMode),
    NUMBER_KEY("DefResv01=", 14, DefResv01),
    NUMBER_KEY("DefResv02=", 15, DefResv02),
    NUMBER_KEY("DefResv03=", 16, DefResv03),
    NUMBER_KEY("DefResv04=", 17, DefResv04),
    NUMBER_KEY("DefResv05=", 18, DefResv05),
    NUMBER_KEY("DefResv06=", 19, DefResv06),
    NUMBER_KEY("DefResv07=", 20, DefResv07),
    NUMBER_KEY("DefResv08=", 21, DefResv08),
    NUMBER_KEY("DefResv09=", 22, DefResv09),
    NUMBER_KEY("DefResv10=", 23, DefResv10),
    NUMBER_KEY("MINBright=", 24, MINBright),
    NUMBER_KEY("MAXBright=", 25, MAXBright),
    NUMBER_KEY("VALBright=", 26, VALBright),
    NUMBER_KEY("MINDensity=", 27, MINDensity),
    NUMBER_KEY("MAXDensity=", 28, MAXDensity),
    NUMBER_KEY("VALDensity=", 29, VALDensity),
    NUMBER_KEY("MINUserDef=", 30, MINUserDef),
    NUMBER_KEY("MAXUserDef=", 31, MAXUserDef),
    NUMBER_KEY("MAXMemory=", 32, MAXMemory),
    TABLE_KEY("NumPaper=", 33, NumPaper, TABLE_PAPER),
    TABLE_KEY("NumUserDef=", 34, NumUserDef, TABLE_USERDEF),
    TABLE_KEY("NumBin=", 35, NumBin, TABLE_BIN),
    TABLE_KEY("NumKind=", 36, NumKind, TABLE_KIND),
    TEXT_KEY("Name=", 37, Name),
    TEXT_KEY("UIName=", 38, UIName),
};
static_assert(sizeof(g_KeyTable) / sizeof(g_KeyTable[0]) == 38);

BOOL szIsEqual(const CHAR* a, const CHAR* b) {
    return strcmp(a, b) == 0;
}

BOOL IsDigit(CHAR c) {
    return c >= '0' && c <= '9';
}

void Advance(PPDREADER* r) {
    r->pRead++;
    r->cbRemain--;
}

// Takes the next line into szLine. A line ends at CR, LF or CR LF; bytes
// beyond the line buffer are read over so the next line starts where the
// file's next line starts.
BOOL GetLine(PPDREADER* r) {
    if (r->bEnd || r->cbRemain == 0) {
        r->bEnd = TRUE;
        return FALSE;
    }
    DWORD cb = 0;
    while (r->cbRemain > 0) {
        BYTE c = *r->pRead;
        Advance(r);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && r->cbRemain > 0 && *r->pRead == '\n') Advance(r);
            break;
        }
        if (cb < PPD_MAX_LINE) r->szLine[cb++] = (CHAR)c;
    }
    r->szLine[cb] = '\0';
    r->iCursor = 0;
    return TRUE;
}

// Reads the key word from the cursor: a NUL, LF, CR or space ends it; a
// colon is dropped; ';' and '=' are kept and end it.
void GetWord(PPDREADER* r, CHAR* szWord) {
    DWORD cch = 0;
    while (cch < PPD_MAX_WORD) {
        CHAR c = r->szLine[r->iCursor];
        if (c == '\0' || c == '\n' || c == '\r' || c == ' ') break;
        r->iCursor++;
        if (c == ':') continue;
        szWord[cch++] = c;
        if (c == ';' || c == '=') break;
    }
    szWord[cch] = '\0';
}

const PPDKEY* GetKeyword(const CHAR* szWord) {
    for (const PPDKEY& key : g_KeyTable) {
        if (szIsEqual(szWord, key.szKey)) return &key;
    }
    return nullptr;
}

// An optional '-', an optional ';', then decimal digits up to the first
// non-digit. Without a digit the value is 0. Digits beyond 32 bits wrap:
// every field keeps only the low bits anyway.
LONG GetNumData(PPDREADER* r) {
    BOOL bNegative = FALSE;
    if (r->szLine[r->iCursor] == '-') {
        bNegative = TRUE;
        r->iCursor++;
    }
    if (r->szLine[r->iCursor] == ';') r->iCursor++;
    uint32_t value = 0;
    while (IsDigit(r->szLine[r->iCursor])) {
        value = value * 10u + (uint32_t)(r->szLine[r->iCursor] - '0');
        r->iCursor++;
    }
    return (LONG)(bNegative ? 0u - value : value);
}

// Length of the longest prefix of `text` within PPD_MAX_TEXT bytes that
// does not split a double-byte character.
DWORD ClipText(const CHAR* text, DWORD cb) {
    if (cb <= PPD_MAX_TEXT) return cb;
    DWORD kept = 0;
    while (kept < cb) {
        DWORD step = IsDBCSLeadByte((BYTE)text[kept]) && kept + 1 < cb ? 2 : 1;
        if (kept + step > PPD_MAX_TEXT) break;
        kept += step;
    }
    return kept;
}

// Quoted text: skips to the first double quote, takes the text up to the
// next one (or the end of the line), converts it from the ANSI code page and
// stores at most cchField - 1 characters and a terminating zero into the
// wide-character field at pField, zero-filling the rest of the field.
void GetCharData(PPDREADER* r, void* pField, int cchField) {
    const CHAR* p = r->szLine + r->iCursor;
    while (*p != '\0' && *p != '"') p++;
    if (*p == '"') p++;
    const CHAR* pText = p;
    while (*p != '\0' && *p != '"') p++;
    DWORD cbText = ClipText(pText, (DWORD)(p - pText));
    if (*p == '"') p++;
    r->iCursor = (DWORD)(p - r->szLine);

    WCHAR szWide[PPD_MAX_TEXT + 1];
    int cch = cbText == 0 ? 0
                          : MultiByteToWideChar(CP_ACP, 0, pText, (int)cbText, szWide, PPD_MAX_TEXT);
    if (cch < 0) cch = 0;
    if (cch > cchField - 1) {
        cch = cchField - 1;
        // Never leave half of a surrogate pair at the end.
        if (cch > 0 && szWide[cch - 1] >= 0xD800 && szWide[cch - 1] <= 0xDBFF) cch--;
    }
    memset(pField, 0, sizeof(WCHAR) * (size_t)cchField);
    memcpy(pField, szWide, sizeof(WCHAR) * (size_t)cch);
}

void StoreNumber(PpdData* ppd, const PPDKEY* key, LONG value) {
    BYTE* pField = (BYTE*)ppd + key->cbOffset;
    uint32_t bits = (uint32_t)value;
    switch (key->nSize) {
    case 1: {
        BYTE b = (BYTE)bits;
        memcpy(pField, &b, 1);
        break;
    }
    case 2: {
        WORD w = (WORD)bits;
        memcpy(pField, &w, 2);
        break;
    }
    default:
        memcpy(pField, &bits, 4);
        break;
    }
}

// Paper entry: code, quoted name, then PaperWidth ... Feed.
void GetPaperEntry(PPDREADER* r, PaperMetrix* pPaper) {
    memset(pPaper, 0, sizeof(*pPaper));
    pPaper->Code = (WORD)GetNumData(r);
    GetCharData(r, pPaper->Name, PAPER_NAME_CHARS);
    constexpr int nValues = 14;
    static_assert(offsetof(PaperMetrix, Feed) - offsetof(PaperMetrix, PaperWidth) ==
                  (nValues - 1) * sizeof(LONG));
    LONG values[nValues];
    for (LONG& value : values) value = GetNumData(r);
    memcpy((BYTE*)pPaper + offsetof(PaperMetrix, PaperWidth), values, sizeof(values));
}

// Source or kind entry: quoted name, then the value.
void GetItemEntry(PPDREADER* r, PpdEntry* pEntry) {
    memset(pEntry, 0, sizeof(*pEntry));
    GetCharData(r, pEntry->Name, PPD_ENTRY_NAME_CHARS);
    pEntry->Value = (WORD)GetNumData(r);
}

void GetTable(PPDREADER* r, PpdData* ppd, const PPDKEY* key) {
    LONG count = GetNumData(r);
    if (count < 0) count = 0;  // a negative count names no entries
    count &= 0xFFFF;           // the count field is 16 bits wide

    DWORD capacity = 0;
    switch (key->nTable) {
    case TABLE_PAPER: capacity = ppd->pPaper ? PPD_MAX_PAPER : 0; break;
    case TABLE_USERDEF: capacity = ppd->pUserDef ? PPD_MAX_USERDEF : 0; break;
    case TABLE_BIN: capacity = ppd->pBin ? PPD_MAX_BIN : 0; break;
    default: capacity = ppd->pKind ? PPD_MAX_KIND : 0; break;
    }

    // Every line the count names is an entry; those beyond the table's room
    // are read over so they are not taken for keys.
    DWORD stored = 0;
    for (LONG i = 0; i < count && GetLine(r); i++) {
        if (stored >= capacity) continue;
        switch (key->nTable) {
        case TABLE_PAPER: GetPaperEntry(r, &ppd->pPaper[stored]); break;
        case TABLE_USERDEF: GetPaperEntry(r, &ppd->pUserDef[stored]); break;
        case TABLE_BIN: GetItemEntry(r, &ppd->pBin[stored]); break;
        default: GetItemEntry(r, &ppd->pKind[stored]); break;
        }
        stored++;
    }
    WORD wStored = (WORD)stored;
    memcpy((BYTE*)ppd + key->cbOffset, &wStored, sizeof(wStored));
}

}  // namespace

void PPD_AttachTables(PpdBlock* block) {
    if (!block) return;
    block->data.pPaper = block->paper;
    block->data.pUserDef = block->userdef;
    block->data.pBin = block->bin;
    block->data.pKind = block->kind;
}

BOOL PPD_Parse(PpdData* ppd, const void* data, DWORD size) {
    if (!ppd || (!data && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PPDREADER reader;
    memset(&reader, 0, sizeof(reader));
    reader.cbRemain = size;
    reader.pRead = (const BYTE*)data;
    reader.pView = (const BYTE*)data;

    CHAR szWord[PPD_MAX_WORD + 1];
    while (GetLine(&reader)) {
        GetWord(&reader, szWord);
        const PPDKEY* key = GetKeyword(szWord);
        if (!key) continue;
        switch (key->nKind) {
        case KEY_NUMBER:
            StoreNumber(ppd, key, GetNumData(&reader));
            break;
        case KEY_TEXT:
            GetCharData(&reader, (BYTE*)ppd + key->cbOffset, key->nSize);
            break;
        default:
            GetTable(&reader, ppd, key);
            break;
        }
    }
    return TRUE;
}
