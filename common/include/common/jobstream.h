// The job stream between the rendering driver and the spooler-side driver:
// every record starts with an 8-byte header; text records carry a 48-byte
// header and 12-byte items. To the spooler-side driver all of it is outside
// input, bounds-checked by its readers.
#pragma once

#include "qor/base.h"

#include <cstddef>

#define JOB_RECORD_DEVMODE 1
#define JOB_RECORD_END_PAGE 2
#define JOB_RECORD_BAND 4
#define JOB_RECORD_TEXT 8
#define JOB_RECORD_PASSTHROUGH 0xF000

#pragma pack(push, 1)
typedef struct _RecordHeader {
    WORD type;
    WORD reserved;   // no defined value
    DWORD length;    // payload bytes after the header
} RecordHeader;

typedef struct _TextRecordHeader {
    RecordHeader header;  // type 8, payload length 0: the call's length is the record
    DWORD zero;
    DWORD area_width;     // AreaWidth of the paper the text was laid out on
    DWORD area_length;
    LONG x0;              // start of the string
    LONG y0;              // top of the cell
    LONG width;           // width of the string's run
    LONG height;          // cell height
    DWORD item_bytes;
    BYTE double_byte;
    BYTE double_byte2;
    WORD reserved2;
    DWORD item_count;
} TextRecordHeader;

typedef struct _TextItem {
    LONG x;
    LONG y;     // top of the cell
    BYTE lead;  // 0 for a single-byte character
    BYTE code;
    WORD reserved;
} TextItem;
#pragma pack(pop)

static_assert(sizeof(RecordHeader) == 8);
static_assert(offsetof(RecordHeader, type) == 0);
static_assert(offsetof(RecordHeader, reserved) == 2);
static_assert(offsetof(RecordHeader, length) == 4);
static_assert(sizeof(TextRecordHeader) == 48);
static_assert(offsetof(TextRecordHeader, zero) == 8);
static_assert(offsetof(TextRecordHeader, area_width) == 12);
static_assert(offsetof(TextRecordHeader, area_length) == 16);
static_assert(offsetof(TextRecordHeader, x0) == 20);
static_assert(offsetof(TextRecordHeader, y0) == 24);
static_assert(offsetof(TextRecordHeader, width) == 28);
static_assert(offsetof(TextRecordHeader, height) == 32);
static_assert(offsetof(TextRecordHeader, item_bytes) == 36);
static_assert(offsetof(TextRecordHeader, double_byte) == 40);
static_assert(offsetof(TextRecordHeader, double_byte2) == 41);
static_assert(offsetof(TextRecordHeader, reserved2) == 42);
static_assert(offsetof(TextRecordHeader, item_count) == 44);
static_assert(sizeof(TextItem) == 12);
static_assert(offsetof(TextItem, x) == 0);
static_assert(offsetof(TextItem, y) == 4);
static_assert(offsetof(TextItem, lead) == 8);
static_assert(offsetof(TextItem, code) == 9);
static_assert(offsetof(TextItem, reserved) == 10);
