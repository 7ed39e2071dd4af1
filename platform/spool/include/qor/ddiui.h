// What the spooler and the graphics engine hand an interface driver (the
// printer's configuration file): capability indexes, device-mode conversion
// modes, the job query record, the upgrade record and printer events.
#pragma once

#include "qor/base.h"
#include "qor/devmode.h"

QOR_BEGIN_C

// DrvDeviceCapabilities / DeviceCapabilitiesW indexes.
#define DC_FIELDS 1
#define DC_PAPERS 2
#define DC_PAPERSIZE 3
#define DC_MINEXTENT 4
#define DC_MAXEXTENT 5
#define DC_BINS 6
#define DC_DUPLEX 7
#define DC_SIZE 8
#define DC_EXTRA 9
#define DC_VERSION 10
#define DC_DRIVER 11
#define DC_BINNAMES 12
#define DC_ENUMRESOLUTIONS 13
#define DC_FILEDEPENDENCIES 14
#define DC_TRUETYPE 15
#define DC_PAPERNAMES 16
#define DC_ORIENTATION 17
#define DC_COPIES 18

#define CCHBINNAME 24
#define CCHPAPERNAME 64

// DrvConvertDevMode modes.
#define CDM_CONVERT 0x01
#define CDM_CONVERT351 0x02
#define CDM_DRIVER_DEFAULT 0x04

// DrvPrinterEvent events.
#define PRINTER_EVENT_ADD_CONNECTION 1
#define PRINTER_EVENT_DELETE_CONNECTION 2
#define PRINTER_EVENT_INITIALIZE 3
#define PRINTER_EVENT_DELETE 4
#define PRINTER_EVENT_CACHE_REFRESH 5

// A point of a paper size list, tenths of a millimetre.
typedef struct _DC_POINT {
    LONG x;
    LONG y;
} DC_POINT;

// DevQueryPrintEx's question: may this job print?
typedef struct _DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW* pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
} DEVQUERYPRINT_INFO, *PDEVQUERYPRINT_INFO;

// DrvUpgradePrinter level 1.
typedef struct _DRIVER_UPGRADE_INFO_1 {
    LPWSTR pPrinterName;
    LPWSTR pOldDriverDirectory;
} DRIVER_UPGRADE_INFO_1, *PDRIVER_UPGRADE_INFO_1;

// DrvDocumentPropertySheets' parameter when it is called without the sheet
// library's info record: the platform's size-and-copy call.
typedef struct _DOCUMENTPROPERTYHEADER {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    DEVMODEW* pdmIn;
    DEVMODEW* pdmOut;
    DWORD cbOut;
    DWORD fMode;  // DM_IN_BUFFER, DM_OUT_BUFFER, DM_IN_PROMPT...
} DOCUMENTPROPERTYHEADER, *PDOCUMENTPROPERTYHEADER;

// DrvDevicePropertySheets' lParamInit: the printer whose settings the
// device sheet edits.
typedef struct _DEVICEPROPERTYHEADER {
    WORD cbSize;
    WORD Flags;  // DPS_NOPERMISSION: the user may not change the printer
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
} DEVICEPROPERTYHEADER, *PDEVICEPROPERTYHEADER;
#define DPS_NOPERMISSION 0x0001

// `info` is the sheet library's PROPSHEETUI_INFO (qor/ui/compstui.h), or
// null for the size-and-copy call.
struct _PROPSHEETUI_INFO;
typedef LONG (*PFN_DrvDocumentPropertySheets)(struct _PROPSHEETUI_INFO* info, LONG_PTR parameter);
typedef LONG (*PFN_DrvDeviceCapabilities)(HANDLE printer, LPWSTR device_name, WORD capability,
                                          void* output, DEVMODEW* devmode);
typedef BOOL (*PFN_DrvConvertDevMode)(LPWSTR printer_name, DEVMODEW* in, DEVMODEW* out, LONG* size,
                                      DWORD mode);
typedef BOOL (*PFN_DevQueryPrintEx)(PDEVQUERYPRINT_INFO info);
typedef BOOL (*PFN_DrvPrinterEvent)(LPWSTR printer_name, int event, DWORD flags, LONG_PTR parameter);
typedef BOOL (*PFN_DrvUpgradePrinter)(DWORD level, LPBYTE info);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(DC_POINT) == 8);
static_assert(offsetof(DEVQUERYPRINT_INFO, Level) == 2);
static_assert(offsetof(DEVQUERYPRINT_INFO, hPrinter) == 8);
static_assert(offsetof(DEVQUERYPRINT_INFO, pDevMode) == 16);
static_assert(offsetof(DEVQUERYPRINT_INFO, pszErrorStr) == 24);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchErrorStr) == 32);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchNeeded) == 36);
static_assert(sizeof(DEVQUERYPRINT_INFO) == 40);
static_assert(sizeof(DRIVER_UPGRADE_INFO_1) == 16);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, hPrinter) == 8);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pszPrinterName) == 16);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pdmIn) == 24);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pdmOut) == 32);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, cbOut) == 40);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, fMode) == 44);
static_assert(sizeof(DOCUMENTPROPERTYHEADER) == 48);
static_assert(offsetof(DEVICEPROPERTYHEADER, hPrinter) == 8 && offsetof(DEVICEPROPERTYHEADER, pszPrinterName) == 16 &&
              sizeof(DEVICEPROPERTYHEADER) == 24);
#endif
