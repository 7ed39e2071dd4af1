// The per-device record of the rendering driver and the helpers every
// entry point shares.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"
#include "qor/ddi.h"

#define PDEV_SIGNATURE 0x57544B20u
#define PDEV_HEAP_INITIAL 8192
#define STAGING_CAPACITY 4096
#define FONT_METRICS_SIZE 696

// Flags of the device.
#define PF_DOC_STARTED 0x00000002u
#define PF_OUTPUT_FAILED 0x00000004u
#define PF_DOC_CONTINUES 0x00000008u
#define PF_PAGE_OPEN 0x00000010u
#define PF_PAGE_SENT 0x00000020u
#define PF_IDLE 0x00040000u
#define PF_RESERVED_CLEARED (0x1u | 0x200u | 0x800u | 0x1000u)

// Entry points of the spooler-side module.
typedef HANDLE (*PFN_DrvSplStartDoc)(HANDLE printer, DWORD job_id);
typedef BOOL (*PFN_DrvSplWritePrinter)(HANDLE job, LPVOID buffer, DWORD length, LPDWORD written);
typedef BOOL (*PFN_DrvSplEndDoc)(HANDLE job);
typedef BOOL (*PFN_DrvSplAbort)(HANDLE job);
typedef void (*PFN_DrvSplClose)(HANDLE job);

// One job-stream record being assembled.
typedef struct _STAGING {
    DWORD capacity;
    BYTE* write;
    DWORD count;
    BYTE data[STAGING_CAPACITY];
} STAGING;

typedef struct _SPLBINDING {
    HMODULE module;
    PFN_DrvSplStartDoc start_doc;
    PFN_DrvSplEndDoc end_doc;
    PFN_DrvSplClose close;
    PFN_DrvSplAbort abort;
    PFN_DrvSplWritePrinter write_printer;
    HANDLE job;
} SPLBINDING;

typedef struct _PDEV {
    DWORD signature;
    HANDLE heap;
    HANDLE printer;
    HDEV hdev;
    HSURF surface;
    BYTE* surface_bits;
    DWORD band_count;
    DWORD band_counter;
    DWORD band_y;
    DWORD band_total;
    HMODULE own_module;
    STAGING staging;
    STAGING text;
    DWORD flags;
    EXDEVMODE devmode;
    PpdBlock* ppd;
    PaperMetrix* current_paper;
    DWORD signature2;
    BYTE current_font[4];  // 0xFF = none
    FLOATL transform[4];
    DWORD page_length;
    DWORD device_fonts_on;
    BYTE device_font_count;
    BYTE* font_metrics;  // device_font_count blocks of FONT_METRICS_SIZE bytes
    DWORD dbcs_font;
    WORD code_page;
    BYTE charset;
    DWORD job_id;
    FD_GLYPHSET* glyphset_sb;
    FD_GLYPHSET* glyphset_db;
    SPLBINDING spl;
    size_t surface_size;  // bytes at surface_bits
    DWORD surface_width;
    DWORD surface_height;
    BYTE character_table;  // qor::setbank::CharacterTable of the printer's single-byte codes 80..FF
} PDEV, *PPDEV;

// Both signatures in place.
BOOL bValidatePDEV(const PDEV* pdev);
// The device behind an engine handle or surface, or null with last error 87.
PDEV* ValidPdev(DHPDEV dhpdev);
PDEV* ValidPdevOfSurface(SURFOBJ* surface);
// Releases the own module, the description and the private heap (which
// holds the PDEV itself).
void FreePdevMemory(PDEV* pdev);
// Signatures, flags, device fonts on, text state cleared.
void FillMyDevData(PDEV* pdev);
void ResetTextState(PDEV* pdev);

BOOL IsDoubleByteCharset(BYTE charset);

// Landscape when dmOrientation is 2.
BOOL IsLandscape(const PDEV* pdev);
