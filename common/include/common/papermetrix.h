// PaperMetrix: one paper's description, 188 bytes, the same in the paper
// tables of a printer description file and inside EXDEVMODE.
//
// The record is packed and crosses module and process boundaries by value:
// copy it (or single fields) instead of taking the address of a 32-bit field.
// Values come from description files and callers' device modes; they are not
// range-checked here, so code that sizes buffers from them checks them first.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

#define PAPER_NAME_CHARS 65
#define PAPER_CODE_USER 256     // the user-defined (custom) paper
#define PAPER_CODE_FALLBACK 768 // taken when a device mode names no known paper
#define PAPER_FEED_ROTATED 2    // Feed value: the paper passes the head turned by 90 degrees

#pragma pack(push, 1)
typedef struct _PaperMetrix {
    WORD Code;                     // dmPaperSize value; 256 for the user-defined paper
    WCHAR Name[PAPER_NAME_CHARS];  // display name, NUL-terminated
    LONG PaperWidth;               // mm
    LONG PaperLength;              // mm
    LONG AreaWidthMM;              // printable width, mm
    LONG AreaLengthMM;             // printable length, mm
    LONG Value4;                   // carried only
    LONG PhysWidth;                // dots
    LONG PhysLength;               // dots
    LONG AreaWidth;                // printable width, dots: width of the rendered page
    LONG AreaLength;               // printable length, dots: rows of the rendered page
    LONG OffsetX;                  // left offset of the printable area in portrait, dots
    LONG OffsetYLandscape;         // top offset in landscape, dots
    LONG OffsetY;                  // top offset in portrait, left offset in landscape, dots
    LONG Value12;                  // carried only
    LONG Feed;                     // PAPER_FEED_ROTATED or normal feed
} PaperMetrix, *PPaperMetrix;
#pragma pack(pop)

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(PaperMetrix) == 188);
static_assert(offsetof(PaperMetrix, Code) == 0);
static_assert(offsetof(PaperMetrix, Name) == 2);
static_assert(offsetof(PaperMetrix, PaperWidth) == 132);
static_assert(offsetof(PaperMetrix, PaperLength) == 136);
static_assert(offsetof(PaperMetrix, AreaWidthMM) == 140);
static_assert(offsetof(PaperMetrix, AreaLengthMM) == 144);
static_assert(offsetof(PaperMetrix, Value4) == 148);
static_assert(offsetof(PaperMetrix, PhysWidth) == 152);
static_assert(offsetof(PaperMetrix, PhysLength) == 156);
static_assert(offsetof(PaperMetrix, AreaWidth) == 160);
static_assert(offsetof(PaperMetrix, AreaLength) == 164);
static_assert(offsetof(PaperMetrix, OffsetX) == 168);
static_assert(offsetof(PaperMetrix, OffsetYLandscape) == 172);
static_assert(offsetof(PaperMetrix, OffsetY) == 176);
static_assert(offsetof(PaperMetrix, Value12) == 180);
static_assert(offsetof(PaperMetrix, Feed) == 184);
#endif
