// EXDEVMODE: the driver's device mode, 892 bytes: the platform's 220-byte
// DEVMODEW followed by a 672-byte private part. The interface driver builds
// it, the rendering driver accepts it and sends a copy at every page start,
// the spooler-side driver reads its printer settings from that copy.
//
// The record is packed and travels by value: copy fields out rather than
// take the address of a multi-byte member. Public fields are reached through
// `dm` (ex.dm.dmPaperSize). Two blocks of the private part are copied and
// trusted only as units, each behind its signature:
//   settings block   412..847  (SettingsSignature == EXDM_SETTINGS_SIGNATURE)
//   resolution block 868..887  (ResolutionBlock.Signature == EXDM_RESOLUTION_SIGNATURE)
//
// Rendering driver, at device creation: AcceptExDevMode takes the caller's
// record (or defaults) and settles the paper; ExDevModeCodePage and
// CharSetFromCodePage then give the device fonts' character set.
// Interface driver: EngSetDefaultEXDEVMODE for a fresh record; the offsets
// and sizes below for its block copies.
#pragma once

#include "common/papermetrix.h"
#include "common/ppd.h"
#include "qor/base.h"
#include "qor/devmode.h"

QOR_BEGIN_C

#define EXDM_SIZE 892
#define EXDM_PUBLIC_SIZE 220
#define EXDM_PRIVATE_SIZE 672
#define EXDM_SPEC_VERSION 0x0401
#define EXDM_DRIVER_VERSION 0x0400
#define EXDM_DEFAULT_FIELDS 0x04000203u  // orientation, paper size, default source, dither type
#define EXDM_RESOLUTION 203
#define EXDM_SETTINGS_SIGNATURE 0xAAA1
#define EXDM_SETTINGS_OFFSET 412
#define EXDM_SETTINGS_SIZE 436
#define EXDM_RESOLUTION_SIGNATURE 0x77746B32u  // bytes 32 6B 74 77
#define EXDM_RESOLUTION_OFFSET 868
#define EXDM_RESOLUTION_SIZE 20
#define EXDM_NEUTRAL_BRIGHT 150

// Kind values with a meaning for the spooler side.
#define EXDM_KIND_MARK 1       // page end feeds to the black mark (1D 0C)
#define EXDM_KIND_PAGE_AREA 2  // page mode print area = the paper's printable size

// Device-font character sets chosen from the creator's code page.
#define EXDM_CHARSET_ANSI 0
#define EXDM_CHARSET_SHIFTJIS 128
#define EXDM_CHARSET_HANGEUL 129
#define EXDM_CHARSET_CHINESEBIG5 136

#pragma pack(push, 1)
typedef struct _EXDM_RESOLUTION_BLOCK {
    DWORD Signature;     // EXDM_RESOLUTION_SIGNATURE when valid
    DWORD Reserved1;
    WORD DefaultPaper;   // dmPaperSize when the block was written
    WORD XResolution;    // 203
    WORD YResolution;    // 203
    WORD Reserved2;
    DWORD Reserved3;
} EXDM_RESOLUTION_BLOCK;

typedef struct _EXDEVMODE {
    DEVMODEW dm;
    BYTE Reserved0[64];
    WCHAR PrinterName[64];
    // settings block
    WORD SettingsSignature;
    WORD PrivateSize;
    WORD PrivateSize2;
    WORD PaperCode;      // equals dmPaperSize and CurrentPaper.Code once accepted
    WORD Bin;            // mirrors dmDefaultSource
    BYTE Kind;           // EXDM_KIND_*
    BYTE Density;        // 0..6; other values print as 3
    BYTE Quality;        // nonzero: high quality
    BYTE Bright;         // 150 neutral
    BYTE Font;           // 0 none, 1 the 24-dot fonts, 2 the 16-dot fonts
    BYTE Cut;            // 0 full, 1 partial, 2 and above none
    BYTE Mode;           // nonzero: page mode
    BYTE Reserved1[3];
    DWORD Resv01;
    DWORD Resv02;
    DWORD Resv03;
    DWORD Resv04;
    DWORD Resv05;
    DWORD Resv06;
    DWORD Resv07;
    DWORD Resv08;
    DWORD Resv09;
    DWORD Resv10;
    PaperMetrix CurrentPaper;
    PaperMetrix UserPaper;  // the user-defined paper (code 256)
    // end of the settings block
    BYTE Reserved2[20];
    EXDM_RESOLUTION_BLOCK ResolutionBlock;
    WORD Reserved3;
    WORD CodePage;       // ANSI code page of the side that created the record
} EXDEVMODE, *PEXDEVMODE;
#pragma pack(pop)

// Fills `devmode` with the defaults of the parsed description `ppd`; the
// device name, when given, goes into dmDeviceName (32 characters at most)
// and PrinterName (64). CurrentPaper is the first paper entry and UserPaper
// the user-defined entry DefUserPaper (the first user-defined entry when
// that index is not in the table). FALSE (ERROR_INVALID_PARAMETER) without
// a record or a description.
BOOL EngSetDefaultEXDEVMODE(EXDEVMODE* devmode, LPCWSTR device_name, const PpdData* ppd);

// The parts of the defaults, for writers that refresh a record they keep:
// the resolution block (default paper = dmPaperSize), the settings block
// from the description, and CurrentPaper/UserPaper as above.
void ExDevModeWriteResolutionBlock(EXDEVMODE* devmode);
void ExDevModeWriteSettingsDefaults(EXDEVMODE* devmode, const PpdData* ppd);
void ExDevModeWriteDefaultPapers(EXDEVMODE* devmode, const PpdData* ppd);

// Copies the first entry of ppd's paper table with the given code into
// `paper`; FALSE when there is none. The user-defined table is not searched.
BOOL CheckPaperMetrix(PaperMetrix* paper, WORD code, const PpdData* ppd);

// Accepts a caller's device mode as the device's own copy `device`:
// a caller's record with a valid settings block is taken whole, anything
// else is replaced by defaults (device_name as the device's name); the paper
// is then settled against the description (the caller's dmPaperSize, else
// its PaperCode, else the user-defined paper 256, else the fallback 768),
// landscape with device fonts is forced into page mode, and the final paper
// code is written back into the caller's dmPaperSize (and PaperCode).
// The caller's record is read only as far as its own dmSize and
// dmDriverExtra reach. FALSE (ERROR_INVALID_PARAMETER) for a null argument.
BOOL AcceptExDevMode(EXDEVMODE* device, DEVMODEW* caller, LPCWSTR device_name,
                        const PpdData* ppd);

// TRUE when `devmode` carries the whole private part in EXDEVMODE layout.
BOOL HasExDevModePrivatePart(const DEVMODEW* devmode);

// The CodePage of a caller's record; 0 when it has no private part.
WORD ExDevModeCodePage(const DEVMODEW* devmode);

// The device-font character set for a code page: 932 -> 128, 949 -> 129,
// 950 -> 136, anything else -> 0.
BYTE CharSetFromCodePage(WORD code_page);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(EXDM_RESOLUTION_BLOCK) == EXDM_RESOLUTION_SIZE);
static_assert(sizeof(EXDEVMODE) == EXDM_SIZE);
static_assert(offsetof(EXDEVMODE, dm) == 0);
static_assert(offsetof(EXDEVMODE, dm.dmDeviceName) == 0);
static_assert(offsetof(EXDEVMODE, dm.dmSpecVersion) == 64);
static_assert(offsetof(EXDEVMODE, dm.dmDriverVersion) == 66);
static_assert(offsetof(EXDEVMODE, dm.dmSize) == 68);
static_assert(offsetof(EXDEVMODE, dm.dmDriverExtra) == 70);
static_assert(offsetof(EXDEVMODE, dm.dmFields) == 72);
static_assert(offsetof(EXDEVMODE, dm.dmOrientation) == 76);
static_assert(offsetof(EXDEVMODE, dm.dmPaperSize) == 78);
static_assert(offsetof(EXDEVMODE, dm.dmPaperLength) == 80);
static_assert(offsetof(EXDEVMODE, dm.dmPaperWidth) == 82);
static_assert(offsetof(EXDEVMODE, dm.dmScale) == 84);
static_assert(offsetof(EXDEVMODE, dm.dmCopies) == 86);
static_assert(offsetof(EXDEVMODE, dm.dmDefaultSource) == 88);
static_assert(offsetof(EXDEVMODE, dm.dmPrintQuality) == 90);
static_assert(offsetof(EXDEVMODE, dm.dmColor) == 92);
static_assert(offsetof(EXDEVMODE, dm.dmDuplex) == 94);
static_assert(offsetof(EXDEVMODE, dm.dmYResolution) == 96);
static_assert(offsetof(EXDEVMODE, dm.dmBitsPerPel) == 168);
static_assert(offsetof(EXDEVMODE, dm.dmDitherType) == 200);
static_assert(offsetof(EXDEVMODE, Reserved0) == 220);
static_assert(offsetof(EXDEVMODE, PrinterName) == 284);
static_assert(offsetof(EXDEVMODE, SettingsSignature) == EXDM_SETTINGS_OFFSET);
static_assert(offsetof(EXDEVMODE, PrivateSize) == 414);
static_assert(offsetof(EXDEVMODE, PrivateSize2) == 416);
static_assert(offsetof(EXDEVMODE, PaperCode) == 418);
static_assert(offsetof(EXDEVMODE, Bin) == 420);
static_assert(offsetof(EXDEVMODE, Kind) == 422);
static_assert(offsetof(EXDEVMODE, Density) == 423);
static_assert(offsetof(EXDEVMODE, Quality) == 424);
static_assert(offsetof(EXDEVMODE, Bright) == 425);
static_assert(offsetof(EXDEVMODE, Font) == 426);
static_assert(offsetof(EXDEVMODE, Cut) == 427);
static_assert(offsetof(EXDEVMODE, Mode) == 428);
static_assert(offsetof(EXDEVMODE, Reserved1) == 429);
static_assert(offsetof(EXDEVMODE, Resv01) == 432);
static_assert(offsetof(EXDEVMODE, Resv10) == 468);
static_assert(offsetof(EXDEVMODE, CurrentPaper) == 472);
static_assert(offsetof(EXDEVMODE, UserPaper) == 660);
static_assert(offsetof(EXDEVMODE, Reserved2) == 848);
static_assert(offsetof(EXDEVMODE, Reserved2) == EXDM_SETTINGS_OFFSET + EXDM_SETTINGS_SIZE);
static_assert(offsetof(EXDEVMODE, ResolutionBlock) == EXDM_RESOLUTION_OFFSET);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.Reserved1) == 872);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.DefaultPaper) == 876);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.XResolution) == 878);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.YResolution) == 880);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.Reserved2) == 882);
static_assert(offsetof(EXDEVMODE, ResolutionBlock.Reserved3) == 884);
static_assert(offsetof(EXDEVMODE, Reserved3) == 888);
static_assert(offsetof(EXDEVMODE, CodePage) == 890);
#endif
