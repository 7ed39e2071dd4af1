// The platform's wide-character device mode (220 bytes), the public head of
// every driver's device mode.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

#define CCHDEVICENAME 32
#define CCHFORMNAME 32

#pragma pack(push, 1)
typedef struct _POINTL {
    LONG x;
    LONG y;
} POINTL, *PPOINTL;

typedef struct _devicemodeW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    union {
        struct {
            SHORT dmOrientation;
            SHORT dmPaperSize;
            SHORT dmPaperLength;
            SHORT dmPaperWidth;
            SHORT dmScale;
            SHORT dmCopies;
            SHORT dmDefaultSource;
            SHORT dmPrintQuality;
        } s;
        POINTL dmPosition;
    } u1;
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    union {
        DWORD dmDisplayFlags;
        DWORD dmNup;
    } u2;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEW, *PDEVMODEW, *LPDEVMODEW;
#pragma pack(pop)

// The ANSI form (156 bytes): the same fields with 32-byte narrow names. The
// client converts it to and from the wide form for the driver.
#define DEVMODEA_PUBLIC_SIZE 156
typedef struct _devicemodeA {
    BYTE dmDeviceName[CCHDEVICENAME];
    BYTE dmMiddle[38];  // dmSpecVersion .. dmCollate, as in DEVMODEW
    BYTE dmFormName[CCHFORMNAME];
    BYTE dmTail[54];    // dmLogPixels .. dmPanningHeight, as in DEVMODEW
} DEVMODEA, *PDEVMODEA, *LPDEVMODEA;

// Field names as callers spell them.
#define dmOrientation u1.s.dmOrientation
#define dmPaperSize u1.s.dmPaperSize
#define dmPaperLength u1.s.dmPaperLength
#define dmPaperWidth u1.s.dmPaperWidth
#define dmScale u1.s.dmScale
#define dmCopies u1.s.dmCopies
#define dmDefaultSource u1.s.dmDefaultSource
#define dmPrintQuality u1.s.dmPrintQuality

#define DM_SPECVERSION 0x0401
#define DM_ORIENTATION 0x00000001L
#define DM_PAPERSIZE 0x00000002L
#define DM_PAPERLENGTH 0x00000004L
#define DM_PAPERWIDTH 0x00000008L
#define DM_SCALE 0x00000010L
#define DM_COPIES 0x00000100L
#define DM_DEFAULTSOURCE 0x00000200L
#define DM_PRINTQUALITY 0x00000400L
#define DM_COLOR 0x00000800L
#define DM_DUPLEX 0x00001000L
#define DM_YRESOLUTION 0x00002000L
#define DM_TTOPTION 0x00004000L
#define DM_COLLATE 0x00008000L
#define DM_FORMNAME 0x00010000L
#define DM_MEDIATYPE 0x02000000L
#define DM_DITHERTYPE 0x04000000L

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2
#define DMCOLOR_MONOCHROME 1
#define DMCOLOR_COLOR 2
#define DMDUP_SIMPLEX 1
#define DMTT_BITMAP 1
#define DMTT_DOWNLOAD 2
#define DMTT_SUBDEV 3
#define DMCOLLATE_FALSE 0
#define DMCOLLATE_TRUE 1

#define DM_UPDATE 1
#define DM_COPY 2
#define DM_PROMPT 4
#define DM_MODIFY 8
#define DM_IN_BUFFER DM_MODIFY
#define DM_IN_PROMPT DM_PROMPT
#define DM_OUT_BUFFER DM_COPY
#define DM_OUT_DEFAULT DM_UPDATE

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(DEVMODEW) == 220);
static_assert(sizeof(DEVMODEA) == DEVMODEA_PUBLIC_SIZE && offsetof(DEVMODEA, dmMiddle) == 32 &&
              offsetof(DEVMODEA, dmFormName) == 70 && offsetof(DEVMODEA, dmTail) == 102);
static_assert(offsetof(DEVMODEW, dmSpecVersion) == 64);
static_assert(offsetof(DEVMODEW, dmSize) == 68);
static_assert(offsetof(DEVMODEW, dmDriverExtra) == 70);
static_assert(offsetof(DEVMODEW, dmFields) == 72);
static_assert(offsetof(DEVMODEW, u1) == 76);
static_assert(offsetof(DEVMODEW, dmColor) == 92);
static_assert(offsetof(DEVMODEW, dmCollate) == 100);
static_assert(offsetof(DEVMODEW, dmFormName) == 102);
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166);
static_assert(offsetof(DEVMODEW, dmBitsPerPel) == 168);
static_assert(offsetof(DEVMODEW, dmICMMethod) == 188);
static_assert(offsetof(DEVMODEW, dmMediaType) == 196);
static_assert(offsetof(DEVMODEW, dmDitherType) == 200);
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216);
#endif
