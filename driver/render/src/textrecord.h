// The text record of the job stream: a 48-byte header and 12-byte items,
// one per device character.
#pragma once

#include "qor/base.h"

#define TEXT_RECORD_TYPE 8
#define TEXT_MAX_ITEM_BYTES 4036  // a full record: 337 items

#pragma pack(push, 1)
typedef struct _TextRecordHeader {
    WORD type;
    WORD reserved;
    DWORD length;  // 0: the item byte count below tells the size
    DWORD zero;
    DWORD area_width;
    DWORD area_length;
    LONG x0;
    LONG y0;
    LONG width;
    LONG height;
    DWORD item_bytes;
    BYTE double_byte;
    BYTE double_byte2;
    WORD reserved2;
    DWORD item_count;
} TextRecordHeader;

typedef struct _TextItem {
    LONG x;
    LONG y;    // top of the cell
    BYTE lead; // 0 for a single-byte character
    BYTE code;
    WORD reserved;
} TextItem;
#pragma pack(pop)

static_assert(sizeof(TextRecordHeader) == 48);
static_assert(offsetof(TextRecordHeader, length) == 4);
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
static_assert(offsetof(TextItem, y) == 4);
static_assert(offsetof(TextItem, lead) == 8);
static_assert(offsetof(TextItem, code) == 9);
static_assert(sizeof(TextRecordHeader) + TEXT_MAX_ITEM_BYTES + sizeof(TextItem) <= 4096);
