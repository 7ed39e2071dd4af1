// The graphics engine, driver face: the structures a printer graphics driver
// exchanges with the engine and the Eng* services it calls. Records with a
// fixed layout (GDIINFO, IFIMETRICS, FD_DEVICEMETRICS, the glyph-set
// resource) keep the platform's 32-bit layout; records that carry pointers
// keep the platform's field order.
#pragma once

#include "qor/gdi.h"

QOR_BEGIN_C

typedef LONG FIX;  // 28.4 fixed point
typedef ULONG FLONG;
typedef ULONG HGLYPH;
typedef float FLOATL;
typedef LONG PTRDIFF;  // offset inside a fixed record
typedef SHORT FWORD;
typedef LONG LDECI4;
typedef ULONG MIX;
typedef ULONG ROP4;
typedef HANDLE HDEV;
typedef HANDLE DHPDEV;
typedef HANDLE HSURF;
typedef HANDLE DHSURF;

#define HGLYPH_INVALID ((HGLYPH)-1)
#define DDI_DRIVER_VERSION_NT5 0x00020000
#define GDI_DRIVER_VERSION 0x4000
#define DM_DEFAULT_SIZE 220

typedef struct _POINTFIX {
    FIX x;
    FIX y;
} POINTFIX, *PPOINTFIX;

typedef struct _POINTE {
    FLOATL x;
    FLOATL y;
} POINTE, *PPOINTE;

typedef struct _POINTQF {
    LONGLONG x;  // 32.32 fixed point
    LONGLONG y;
} POINTQF, *PPOINTQF;

typedef struct _FD_XFORM {
    FLOATL eXX;
    FLOATL eXY;
    FLOATL eYX;
    FLOATL eYY;
} FD_XFORM, *PFD_XFORM;

// ---------------------------------------------------------------- enabling

// Entries are stored type-erased and cast back to their own type by index.
typedef void (*PFN)(void);

typedef struct _DRVFN {
    ULONG iFunc;
    PFN pfn;
} DRVFN, *PDRVFN;

typedef struct tagDRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
} DRVENABLEDATA, *PDRVENABLEDATA;

// Function indexes of the enabling table.
#define INDEX_DrvEnablePDEV 0L
#define INDEX_DrvCompletePDEV 1L
#define INDEX_DrvDisablePDEV 2L
#define INDEX_DrvEnableSurface 3L
#define INDEX_DrvDisableSurface 4L
#define INDEX_DrvResetPDEV 7L
#define INDEX_DrvTextOut 23L
#define INDEX_DrvEscape 24L
#define INDEX_DrvQueryFont 26L
#define INDEX_DrvQueryFontTree 27L
#define INDEX_DrvQueryFontData 28L
#define INDEX_DrvSendPage 32L
#define INDEX_DrvStartPage 33L
#define INDEX_DrvEndDoc 34L
#define INDEX_DrvStartDoc 35L
#define INDEX_DrvGetGlyphMode 37L
#define INDEX_DrvStartBanding 57L
#define INDEX_DrvNextBand 58L
#define INDEX_LAST 89L

#define DRVQUERY_USERMODE 1
#ifndef ERROR_BAD_DRIVER_LEVEL
#define ERROR_BAD_DRIVER_LEVEL 119L
#endif

typedef struct _CIECHROMA {
    LDECI4 x;
    LDECI4 y;
    LDECI4 Y;
} CIECHROMA;

typedef struct _COLORINFO {
    CIECHROMA Red;
    CIECHROMA Green;
    CIECHROMA Blue;
    CIECHROMA Cyan;
    CIECHROMA Magenta;
    CIECHROMA Yellow;
    CIECHROMA AlignmentWhite;
    LDECI4 RedGamma;
    LDECI4 GreenGamma;
    LDECI4 BlueGamma;
    LDECI4 MagentaInCyanDye;
    LDECI4 YellowInCyanDye;
    LDECI4 CyanInMagentaDye;
    LDECI4 YellowInMagentaDye;
    LDECI4 CyanInYellowDye;
    LDECI4 MagentaInYellowDye;
} COLORINFO, *PCOLORINFO;

// The device's capabilities, 304 bytes. The halftone pattern pointers are
// unused by printer drivers and kept 32 bits wide to hold the layout.
typedef struct _GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    FLONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    FLONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    ULONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    ULONG pHTPatA;
    ULONG pHTPatB;
    ULONG pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
} GDIINFO, *PGDIINFO;

#define HT_FLAG_HAS_BLACK_DYE 0x00000002
#define HT_FORMAT_1BPP 0
#define HT_PATSIZE_2x2 0
#define HT_PATSIZE_6x6_M 5
#define HT_PATSIZE_16x16_M 15
#define HT_PATSIZE_DEFAULT 17

typedef struct tagDEVINFO {
    FLONG flGraphicsCaps;
    LOGFONTW lfDefaultFont;
    LOGFONTW lfAnsiVarFont;
    LOGFONTW lfAnsiFixFont;
    ULONG cFonts;
    ULONG iDitherFormat;
    USHORT cxDither;
    USHORT cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
} DEVINFO, *PDEVINFO;

#define GCAPS_GEOMETRICWIDE 0x00000002
#define GCAPS_ALTERNATEFILL 0x00000004
#define GCAPS_WINDINGFILL 0x00000008
#define GCAPS_HALFTONE 0x00000010
#define GCAPS_OPAQUERECT 0x00000100

// Bitmap formats.
#define BMF_1BPP 1L
#define BMF_4BPP 2L
#define BMF_8BPP 3L
#define BMF_16BPP 4L
#define BMF_24BPP 5L
#define BMF_32BPP 6L
#define BMF_TOPDOWN 0x0001
#define BMF_NOZEROINIT 0x0002
#define BMF_DONTCACHE 0x0004
#define BMF_USERMEM 0x0008

// Palettes.
#define PAL_INDEXED 0x00000001
#define PAL_BITFIELDS 0x00000002
#define PAL_RGB 0x00000004
#define PAL_BGR 0x00000008

// Hooks of EngAssociateSurface.
#define HOOK_BITBLT 0x00000001
#define HOOK_STRETCHBLT 0x00000002
#define HOOK_TEXTOUT 0x00000008

// ------------------------------------------------------------------ fonts

typedef struct _PANOSE {
    BYTE bFamilyType;
    BYTE bSerifStyle;
    BYTE bWeight;
    BYTE bProportion;
    BYTE bContrast;
    BYTE bStrokeVariation;
    BYTE bArmStyle;
    BYTE bLetterform;
    BYTE bMidline;
    BYTE bXHeight;
} PANOSE;

// A font's metrics, 184 bytes; the names follow it in the same block at
// the dp* offsets.
typedef struct _IFIMETRICS {
    ULONG cjThis;
    ULONG cjIfiExtra;
    PTRDIFF dpwszFamilyName;
    PTRDIFF dpwszStyleName;
    PTRDIFF dpwszFaceName;
    PTRDIFF dpwszUniqueName;
    PTRDIFF dpFontSim;
    LONG lEmbedId;
    LONG lItalicAngle;
    LONG lCharBias;
    PTRDIFF dpCharSets;
    BYTE jWinCharSet;
    BYTE jWinPitchAndFamily;
    USHORT usWinWeight;
    ULONG flInfo;
    USHORT fsSelection;
    USHORT fsType;
    FWORD fwdUnitsPerEm;
    FWORD fwdLowestPPEm;
    FWORD fwdWinAscender;
    FWORD fwdWinDescender;
    FWORD fwdMacAscender;
    FWORD fwdMacDescender;
    FWORD fwdMacLineGap;
    FWORD fwdTypoAscender;
    FWORD fwdTypoDescender;
    FWORD fwdTypoLineGap;
    FWORD fwdAveCharWidth;
    FWORD fwdMaxCharInc;
    FWORD fwdCapHeight;
    FWORD fwdXHeight;
    FWORD fwdSubscriptXSize;
    FWORD fwdSubscriptYSize;
    FWORD fwdSubscriptXOffset;
    FWORD fwdSubscriptYOffset;
    FWORD fwdSuperscriptXSize;
    FWORD fwdSuperscriptYSize;
    FWORD fwdSuperscriptXOffset;
    FWORD fwdSuperscriptYOffset;
    FWORD fwdUnderscoreSize;
    FWORD fwdUnderscorePosition;
    FWORD fwdStrikeoutSize;
    FWORD fwdStrikeoutPosition;
    BYTE chFirstChar;
    BYTE chLastChar;
    BYTE chDefaultChar;
    BYTE chBreakChar;
    WCHAR wcFirstChar;
    WCHAR wcLastChar;
    WCHAR wcDefaultChar;
    WCHAR wcBreakChar;
    POINTL ptlBaseline;
    POINTL ptlAspect;
    POINTL ptlCaret;
    RECTL rclFontBox;
    BYTE achVendId[4];
    ULONG cKerningPairs;
    ULONG ulPanoseCulture;
    PANOSE panose;
} IFIMETRICS, *PIFIMETRICS;

#define FM_INFO_TECH_BITMAP 0x00000002
#define FM_INFO_1BPP 0x00000020
#define FM_INFO_INTEGER_WIDTH 0x00000200
#define FM_INFO_CONSTANT_WIDTH 0x00001000
#define FM_INFO_NOT_CONTIGUOUS 0x00002000
#define FM_INFO_RIGHT_HANDED 0x00080000
#define FM_INFO_OPTICALLY_FIXED_PITCH 0x00400000
#define FM_INFO_DBCS_FIXED_PITCH 0x10000000

typedef struct _WCRUN {
    WCHAR wcLow;
    USHORT cGlyphs;
    HGLYPH* phg;
} WCRUN, *PWCRUN;

// A glyph set in memory: runs of consecutive Unicode characters, each with
// its glyph handles. cjThis counts the header and the runs.
typedef struct _FD_GLYPHSET {
    ULONG cjThis;
    FLONG flAccel;
    ULONG cGlyphsSupported;
    ULONG cRuns;
    WCRUN awcrun[1];
} FD_GLYPHSET, *PFD_GLYPHSET;

// The same glyph set as stored in a resource: 32-bit run pointers that carry
// no meaning, the handle arrays following the runs.
typedef struct _FD_GLYPHSET_RES_HEADER {
    ULONG cjThis;
    FLONG flAccel;
    ULONG cGlyphsSupported;
    ULONG cRuns;
} FD_GLYPHSET_RES_HEADER;

typedef struct _WCRUN_RES {
    WCHAR wcLow;
    USHORT cGlyphs;
    ULONG phg;
} WCRUN_RES;

typedef struct _GLYPHBITS {
    POINTL ptlOrigin;
    SIZEL sizlBitmap;
    BYTE aj[1];
} GLYPHBITS;

typedef union _GLYPHDEF {
    GLYPHBITS* pgb;
    void* ppo;
} GLYPHDEF;

typedef struct _GLYPHPOS {
    HGLYPH hg;
    GLYPHDEF* pgdf;
    POINTL ptl;
} GLYPHPOS, *PGLYPHPOS;

typedef struct _GLYPHDATA {
    GLYPHDEF gdf;
    HGLYPH hg;
    FIX fxD;
    FIX fxA;
    FIX fxAB;
    FIX fxInkTop;
    FIX fxInkBottom;
    RECTL rclInk;
    POINTQF ptqD;
} GLYPHDATA, *PGLYPHDATA;

// Extents of a realised font, 124 bytes.
typedef struct _FD_DEVICEMETRICS {
    FLONG flRealizedType;
    POINTE pteBase;
    POINTE pteSide;
    LONG lD;
    FIX fxMaxAscender;
    FIX fxMaxDescender;
    POINTL ptlUnderline1;
    POINTL ptlStrikeOut;
    POINTL ptlULThickness;
    POINTL ptlSOThickness;
    ULONG cxMax;
    ULONG cyMax;
    ULONG cjGlyphMax;
    FD_XFORM fdxQuantized;
    LONG lNonLinearExtLeading;
    LONG lNonLinearIntLeading;
    LONG lNonLinearMaxCharWidth;
    LONG lNonLinearAvgCharWidth;
    LONG lMinA;
    LONG lMinC;
    LONG lMinD;
    LONG alReserved[1];
} FD_DEVICEMETRICS, *PFD_DEVICEMETRICS;

#define QFT_LIGATURES 1L
#define QFT_KERNPAIRS 2L
#define QFT_GLYPHSET 3L
#define QFD_GLYPHANDBITMAP 1L
#define QFD_GLYPHANDOUTLINE 2L
#define QFD_MAXEXTENTS 3L
#define FO_GLYPHBITS 1
#define FO_HGLYPHS 0
#define FO_TYPE_RASTER RASTER_FONTTYPE
#define FO_TYPE_DEVICE DEVICE_FONTTYPE
#define FO_TYPE_TRUETYPE TRUETYPE_FONTTYPE
#define FDM_TYPE_BM_SIDE_CONST 0x00000001
#define FDM_TYPE_MAXEXT_EQUAL_BM_SIDE 0x00000002
#define FDM_TYPE_CHAR_INC_EQUAL_BM_BASE 0x00000004
#define FDM_TYPE_ZERO_BEARINGS 0x00000008
#define FDM_TYPE_CONST_BEARINGS 0x00000010

// ------------------------------------------------------- drawing objects

typedef struct _SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
} SURFOBJ, *PSURFOBJ;

#define STYPE_BITMAP 0
#define STYPE_DEVICE 1

typedef struct _STROBJ {
    ULONG cGlyphs;
    FLONG flAccel;
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS* pgp;
    LPWSTR pwszOrg;
} STROBJ, *PSTROBJ;

#define SO_FLAG_DEFAULT_PLACEMENT 0x00000001
#define SO_HORIZONTAL 0x00000002
#define SO_VERTICAL 0x00000004
#define SO_REVERSED 0x00000008

typedef struct _FONTOBJ {
    ULONG iUniq;
    ULONG iFace;
    ULONG cxMax;
    FLONG flFontType;
    ULONG_PTR iTTUniq;
    ULONG_PTR iFile;
    SIZE sizLogResPpi;
    ULONG ulStyleSize;
    PVOID pvConsumer;
    PVOID pvProducer;
} FONTOBJ, *PFONTOBJ;

typedef struct _XFORMOBJ {
    ULONG ulReserved;
} XFORMOBJ, *PXFORMOBJ;

typedef struct _XFORML {
    FLOATL eM11;
    FLOATL eM12;
    FLOATL eM21;
    FLOATL eM22;
    FLOATL eDx;
    FLOATL eDy;
} XFORML, *PXFORML;

#define XF_LTOL 0L
#define XF_INV_LTOL 1L
#define XF_LTOFX 2L
#define XF_INV_FXTOL 3L
#define DDI_ERROR_XFORM 0xFFFFFFFFu
#define GX_IDENTITY 0L
#define GX_OFFSET 1L
#define GX_SCALE 2L
#define GX_GENERAL 3L

typedef struct _CLIPOBJ {
    ULONG iUniq;
    RECTL rclBounds;
    BYTE iDComplexity;
    BYTE iFComplexity;
    BYTE iMode;
    BYTE fjOptions;
} CLIPOBJ, *PCLIPOBJ;

#define DC_TRIVIAL 0
#define DC_RECT 1

typedef struct _BRUSHOBJ {
    ULONG iSolidColor;
    PVOID pvRbrush;
    FLONG flColorType;
} BRUSHOBJ, *PBRUSHOBJ;

// ------------------------------------------------- the driver's entries

typedef BOOL (*PFN_DrvEnableDriver)(ULONG engine_version, ULONG size, DRVENABLEDATA* data);
typedef BOOL (*PFN_DrvQueryDriverInfo)(DWORD mode, PVOID buffer, DWORD size, PDWORD needed);
typedef void (*PFN_DrvDisableDriver)(void);
typedef DHPDEV (*PFN_DrvEnablePDEV)(DEVMODEW* devmode, LPWSTR log_address, ULONG patterns,
                                    HSURF* pattern_surfaces, ULONG caps_size, ULONG* caps,
                                    ULONG info_size, DEVINFO* info, HDEV hdev, LPWSTR device_name,
                                    HANDLE printer);
typedef BOOL (*PFN_DrvResetPDEV)(DHPDEV old_pdev, DHPDEV new_pdev);
typedef void (*PFN_DrvCompletePDEV)(DHPDEV pdev, HDEV hdev);
typedef void (*PFN_DrvDisablePDEV)(DHPDEV pdev);
typedef HSURF (*PFN_DrvEnableSurface)(DHPDEV pdev);
typedef void (*PFN_DrvDisableSurface)(DHPDEV pdev);
typedef BOOL (*PFN_DrvStartDoc)(SURFOBJ* surface, LPWSTR doc_name, DWORD job_id);
typedef BOOL (*PFN_DrvStartPage)(SURFOBJ* surface);
typedef BOOL (*PFN_DrvSendPage)(SURFOBJ* surface);
typedef BOOL (*PFN_DrvEndDoc)(SURFOBJ* surface, FLONG flags);
typedef ULONG (*PFN_DrvEscape)(SURFOBJ* surface, ULONG escape, ULONG input_size, PVOID input,
                               ULONG output_size, PVOID output);
typedef BOOL (*PFN_DrvStartBanding)(SURFOBJ* surface, POINTL* origin);
typedef BOOL (*PFN_DrvNextBand)(SURFOBJ* surface, POINTL* origin);
typedef ULONG (*PFN_DrvGetGlyphMode)(DHPDEV pdev, FONTOBJ* font);
typedef BOOL (*PFN_DrvTextOut)(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, CLIPOBJ* clip,
                               RECTL* extra, RECTL* opaque, BRUSHOBJ* foreground,
                               BRUSHOBJ* background, POINTL* brush_origin, MIX mix);
typedef PIFIMETRICS (*PFN_DrvQueryFont)(DHPDEV pdev, ULONG_PTR file, ULONG face, ULONG_PTR* id);
typedef PVOID (*PFN_DrvQueryFontTree)(DHPDEV pdev, ULONG_PTR file, ULONG face, ULONG mode,
                                      ULONG_PTR* id);
typedef LONG (*PFN_DrvQueryFontData)(DHPDEV pdev, FONTOBJ* font, ULONG mode, HGLYPH glyph,
                                     GLYPHDATA* data, PVOID buffer, ULONG size);

#define ED_ABORTDOC 0x00000001

// ----------------------------------------------------------- Eng services

QORAPI HBITMAP EngCreateBitmap(SIZEL size, LONG stride, ULONG format, FLONG flags, PVOID bits);
QORAPI BOOL EngAssociateSurface(HSURF surface, HDEV hdev, FLONG hooks);
QORAPI BOOL EngMarkBandingSurface(HSURF surface);
QORAPI BOOL EngDeleteSurface(HSURF surface);
QORAPI SURFOBJ* EngLockSurface(HSURF surface);
QORAPI void EngUnlockSurface(SURFOBJ* surface);
QORAPI BOOL EngCheckAbort(SURFOBJ* surface);
QORAPI HPALETTE EngCreatePalette(ULONG mode, ULONG count, ULONG* colors, FLONG red, FLONG green,
                                 FLONG blue);
QORAPI BOOL EngDeletePalette(HPALETTE palette);
QORAPI BOOL EngTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, CLIPOBJ* clip,
                       RECTL* extra, RECTL* opaque, BRUSHOBJ* foreground, BRUSHOBJ* background,
                       POINTL* brush_origin, MIX mix);
// The glyph set of a code page's single-byte codes [first, first + count);
// free it with EngFreeMem.
QORAPI FD_GLYPHSET* EngComputeGlyphSet(INT code_page, INT first, INT count);
QORAPI PVOID EngAllocMem(ULONG flags, ULONG size, ULONG tag);
QORAPI void EngFreeMem(PVOID memory);
#define FL_ZERO_MEMORY 0x00000001

QORAPI BOOL STROBJ_bEnum(STROBJ* string, ULONG* count, PGLYPHPOS* positions);
QORAPI void STROBJ_vEnumStart(STROBJ* string);
QORAPI XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* font);
QORAPI IFIMETRICS* FONTOBJ_pifi(FONTOBJ* font);
QORAPI ULONG XFORMOBJ_iGetXform(XFORMOBJ* xform, XFORML* out);
// Maps `count` points through the transform (XF_LTOL: notional to device
// units; XF_LTOFX: the same in 28.4).
QORAPI BOOL XFORMOBJ_bApplyXform(XFORMOBJ* xform, ULONG mode, ULONG count, PVOID in, PVOID out);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(GDIINFO) == 304);
static_assert(offsetof(GDIINFO, ulLogPixelsX) == 40);
static_assert(offsetof(GDIINFO, flTextCaps) == 48);
static_assert(offsetof(GDIINFO, ulAspectXY) == 72);
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88);
static_assert(offsetof(GDIINFO, szlPhysSize) == 96);
static_assert(offsetof(GDIINFO, ulNumPalReg) == 104);
static_assert(offsetof(GDIINFO, ciDevice) == 108);
static_assert(sizeof(COLORINFO) == 120);
static_assert(offsetof(GDIINFO, ulDevicePelsDPI) == 228);
static_assert(offsetof(GDIINFO, ulHTPatternSize) == 236);
static_assert(offsetof(GDIINFO, flHTFlags) == 244);
static_assert(offsetof(GDIINFO, cxHTPat) == 272);
static_assert(offsetof(GDIINFO, ulPhysicalPixelGamma) == 300);
static_assert(sizeof(IFIMETRICS) == 184);
static_assert(offsetof(IFIMETRICS, dpCharSets) == 40);
static_assert(offsetof(IFIMETRICS, jWinCharSet) == 44);
static_assert(offsetof(IFIMETRICS, flInfo) == 48);
static_assert(offsetof(IFIMETRICS, fwdUnitsPerEm) == 56);
static_assert(offsetof(IFIMETRICS, fwdAveCharWidth) == 76);
static_assert(offsetof(IFIMETRICS, fwdMaxCharInc) == 78);
static_assert(offsetof(IFIMETRICS, fwdStrikeoutPosition) == 106);
static_assert(offsetof(IFIMETRICS, chFirstChar) == 108);
static_assert(offsetof(IFIMETRICS, wcFirstChar) == 112);
static_assert(offsetof(IFIMETRICS, ptlBaseline) == 120);
static_assert(offsetof(IFIMETRICS, ptlCaret) == 136);
static_assert(offsetof(IFIMETRICS, rclFontBox) == 144);
static_assert(offsetof(IFIMETRICS, achVendId) == 160);
static_assert(offsetof(IFIMETRICS, panose) == 172);
static_assert(sizeof(FD_DEVICEMETRICS) == 124);
static_assert(offsetof(FD_DEVICEMETRICS, lD) == 20);
static_assert(offsetof(FD_DEVICEMETRICS, cxMax) == 64);
static_assert(offsetof(FD_DEVICEMETRICS, fdxQuantized) == 76);
static_assert(offsetof(FD_DEVICEMETRICS, alReserved) == 120);
static_assert(sizeof(FD_GLYPHSET_RES_HEADER) == 16);
static_assert(sizeof(WCRUN_RES) == 8);
static_assert(offsetof(WCRUN_RES, cGlyphs) == 2);
static_assert(offsetof(WCRUN_RES, phg) == 4);
static_assert(sizeof(HGLYPH) == 4);
static_assert(sizeof(POINTQF) == 16);
#endif
