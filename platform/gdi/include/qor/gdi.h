// The graphics engine, application face: device contexts on a printer,
// documents and pages, fonts and text, bitmaps, rectangles and lines,
// device capabilities and escapes. Pages are recorded and played into the
// printer driver's band at EndPage.
#pragma once

#include "qor/devmode.h"

QOR_BEGIN_C

typedef HANDLE HDC;
typedef HANDLE HGDIOBJ;
typedef HANDLE HFONT;
typedef HANDLE HBRUSH;
typedef HANDLE HPEN;
typedef HANDLE HBITMAP;
typedef HANDLE HPALETTE;
typedef DWORD COLORREF;

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define CLR_INVALID 0xFFFFFFFFu
#define GDI_ERROR 0xFFFFFFFFu
#define HGDI_ERROR ((HANDLE)(intptr_t)-1)

#define LF_FACESIZE 32
#define LF_FULLFACESIZE 64

#pragma pack(push, 1)
typedef struct _RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT, RECTL, *PRECTL;

typedef struct _POINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct _SIZE {
    LONG cx;
    LONG cy;
} SIZE, *PSIZE, *LPSIZE, SIZEL, *PSIZEL;
#pragma pack(pop)

// 92 bytes; crosses module boundaries inside DEVINFO and font enumeration.
typedef struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;

typedef struct tagTEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *PTEXTMETRICW, *LPTEXTMETRICW;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

// 40 bytes, as bitmap files and callers lay it out.
typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

typedef struct _DOCINFOW {
    int cbSize;
    LPCWSTR lpszDocName;
    LPCWSTR lpszOutput;
    LPCWSTR lpszDatatype;
    DWORD fwType;
} DOCINFOW, *LPDOCINFOW;

typedef BOOL (*ABORTPROC)(HDC hdc, int error);
typedef int (*FONTENUMPROCW)(const LOGFONTW* logfont, const TEXTMETRICW* metrics, DWORD font_type,
                             LPARAM param);

// GetDeviceCaps indexes.
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMBRUSHES 16
#define NUMPENS 18
#define NUMMARKERS 20
#define NUMFONTS 22
#define NUMCOLORS 24
#define PDEVICESIZE 26
#define CURVECAPS 28
#define LINECAPS 30
#define POLYGONALCAPS 32
#define TEXTCAPS 34
#define CLIPCAPS 36
#define RASTERCAPS 38
#define ASPECTX 40
#define ASPECTY 42
#define ASPECTXY 44
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define NUMRESERVED 106
#define COLORRES 108
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113
#define SCALINGFACTORX 114
#define SCALINGFACTORY 115

#define DT_PLOTTER 0
#define DT_RASDISPLAY 1
#define DT_RASPRINTER 2

// Escapes.
#define QUERYESCSUPPORT 8
#define SETCOPYCOUNT 17
#define PASSTHROUGH 19
#define GETTECHNOLOGY 20

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define DEVICE_DEFAULT_FONT 14
#define SYSTEM_FONT 13

#define PS_SOLID 0
#define PS_NULL 5

// Text alignment and background modes.
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define TRANSPARENT 1
#define OPAQUE 2

#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
#define ETO_GLYPH_INDEX 0x0010

// Font constants.
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#define HANGEUL_CHARSET 129
#define CHINESEBIG5_CHARSET 136
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

// Bitmaps.
#define BI_RGB 0
#define BI_BITFIELDS 3
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u

#define SP_ERROR (-1)

// Device contexts. `driver` is "WINSPOOL" (or null) to take the printer's
// installed driver, or the name or path of a driver module to load directly;
// such a device may name a printer the spooler does not know, and its
// documents then run without a spooler job (job ids counted in the process).
// Without a device mode the printer's default is used, else the driver's.
QORAPI HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const DEVMODEW* devmode);
QORAPI HDC ResetDCW(HDC hdc, const DEVMODEW* devmode);
QORAPI BOOL DeleteDC(HDC hdc);
QORAPI int GetDeviceCaps(HDC hdc, int index);
QORAPI int ExtEscape(HDC hdc, int escape, int input_size, LPCSTR input, int output_size, LPSTR output);

// Documents and pages.
QORAPI int StartDocW(HDC hdc, const DOCINFOW* doc);
QORAPI int StartPage(HDC hdc);
QORAPI int EndPage(HDC hdc);
QORAPI int EndDoc(HDC hdc);
QORAPI int AbortDoc(HDC hdc);
QORAPI int SetAbortProc(HDC hdc, ABORTPROC proc);

// Objects.
QORAPI HFONT CreateFontIndirectW(const LOGFONTW* logfont);
QORAPI HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                         DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCWSTR face);
// Fonts only: copies up to `size` bytes of the LOGFONTW; with a null buffer,
// the size it needs.
QORAPI int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
QORAPI HBRUSH CreateSolidBrush(COLORREF color);
QORAPI HPEN CreatePen(int style, int width, COLORREF color);
QORAPI HGDIOBJ GetStockObject(int index);
QORAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
QORAPI BOOL DeleteObject(HGDIOBJ object);
QORAPI int EnumFontFamiliesExW(HDC hdc, LPLOGFONTW logfont, FONTENUMPROCW proc, LPARAM param,
                               DWORD flags);

// Text.
QORAPI COLORREF SetTextColor(HDC hdc, COLORREF color);
QORAPI COLORREF SetBkColor(HDC hdc, COLORREF color);
QORAPI int SetBkMode(HDC hdc, int mode);
QORAPI UINT SetTextAlign(HDC hdc, UINT align);
QORAPI BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics);
QORAPI BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size);
QORAPI BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text,
                        UINT count, const INT* dx);
QORAPI BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);

// Drawing.
QORAPI int StretchDIBits(HDC hdc, int x_dest, int y_dest, int dest_width, int dest_height, int x_src,
                         int y_src, int src_width, int src_height, const void* bits,
                         const BITMAPINFO* info, UINT usage, DWORD rop);
QORAPI BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
QORAPI int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
QORAPI BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous);
QORAPI BOOL LineTo(HDC hdc, int x, int y);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(LOGFONTW) == 92);
static_assert(offsetof(LOGFONTW, lfWeight) == 16);
static_assert(offsetof(LOGFONTW, lfCharSet) == 23);
static_assert(offsetof(LOGFONTW, lfPitchAndFamily) == 27);
static_assert(offsetof(LOGFONTW, lfFaceName) == 28);
static_assert(sizeof(RECTL) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biBitCount) == 14);
static_assert(offsetof(BITMAPINFOHEADER, biCompression) == 16);
static_assert(offsetof(BITMAPINFOHEADER, biClrUsed) == 32);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(sizeof(TEXTMETRICW) == 60);
#endif
