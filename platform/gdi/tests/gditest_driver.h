// QORGDITEST, a printer driver for the engine's own tests: it prints
// nothing, but logs every call the engine makes and composes the bands of
// each page into a page image the tests read back through its exports.
#pragma once

#include "qor/ddi.h"

QOR_BEGIN_C

#define GDITEST_MAGIC 0x54494447u

// Failures the driver is told to make, with the last error it sets.
#define GDITEST_FAIL_ENABLE_PDEV 0x01u     // ERROR_INVALID_DATA
#define GDITEST_FAIL_ENABLE_SURFACE 0x02u  // ERROR_NOT_ENOUGH_MEMORY
#define GDITEST_FAIL_START_DOC 0x04u       // ERROR_ACCESS_DENIED
#define GDITEST_FAIL_START_PAGE 0x08u      // ERROR_WRITE_FAULT
#define GDITEST_FAIL_TEXT_OUT 0x10u        // ERROR_WRITE_FAULT
#define GDITEST_FAIL_RESET_PDEV 0x20u      // ERROR_INVALID_DATA (the new device mode's flag)
#define GDITEST_ENDLESS_BANDS 0x40u        // never reports the last band

// The driver's part of the device mode, right after the public part.
typedef struct _GDITEST_SETTINGS {
    DWORD magic;
    LONG width;        // printable area in dots
    LONG height;
    LONG band_height;  // 0: one band for the page; negative: no banding, DrvSendPage
    DWORD fonts;       // device fonts "Test Device", 24 then 16 dots high (at most 2)
    DWORD fail;        // GDITEST_* flags
} GDITEST_SETTINGS;

typedef struct _GDITEST_DEVMODE {
    DEVMODEW dm;
    GDITEST_SETTINGS settings;
} GDITEST_DEVMODE;

// Exports read by the tests. The log has one line per call, '\n'-ended.
// Pages are 24-bit rows, blue first, without padding; rows no band covered
// hold 0x7F7F7F. GdiTestPage returns null past the last page.
typedef const char* (*PFN_GdiTestLog)(void);
typedef void (*PFN_GdiTestClear)(void);
typedef const BYTE* (*PFN_GdiTestPage)(ULONG index, LONG* width, LONG* height);

// Glyph handles of the device fonts: the character's code, as a printer's
// single-byte table has them (0x20..0x7E).
#define GDITEST_GLYPH_BASE 0x20u

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(GDITEST_SETTINGS) == 24);
static_assert(offsetof(GDITEST_SETTINGS, band_height) == 12);
static_assert(offsetof(GDITEST_SETTINGS, fail) == 20);
static_assert(sizeof(DEVMODEW) == 220);
static_assert(offsetof(GDITEST_DEVMODE, settings) == 220);
#endif
