// The common property-sheet host ("compstui.dll"): a caller's sheet
// function is asked, by reason, to initialise and add its pages, to give
// the sheet's header, to take results and to clean up; the host shows the
// pages in one property sheet (qor/ui/property_sheets.h) with OK, Cancel,
// Apply and Help.
#pragma once

#include "qor/ui/windows.h"

QOR_BEGIN_C

#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3
#define PROPSHEETUI_INFO_VERSION 0x0100

// The host's services, called with the caller's hComPropSheet.
#define CPSFUNC_ADD_HPROPSHEETPAGE 0  // lParam1 an HPROPSHEETPAGE; returns the page's handle, 0 on failure
#define CPSFUNC_ADD_PROPSHEETPAGEW 1  // lParam1 a PROPSHEETPAGEW*; likewise
#define CPSFUNC_GET_PAGECOUNT 8       // pages added so far
#define CPSFUNC_SET_RESULT 9          // lParam1 a page handle, lParam2 the result: SET_RESULT to its owner

#define CPSUI_CANCEL 0
#define CPSUI_OK 1

#define ERR_CPSUI_GETLASTERROR (-1)
#define ERR_CPSUI_NO_PROPSHEETPAGE (-11)

#define PSUIHDRF_NOAPPLYNOW 0x0002
#define PSUIHDRF_PROPTITLE 0x0004  // the title gets " Properties"
#define IDI_CPSUI_PRINTER 64063

typedef LONG_PTR (*PFNCOMPROPSHEET)(HANDLE sheet, UINT function, LPARAM param1, LPARAM param2);

typedef struct _PROPSHEETUI_INFO {
    WORD cbSize;
    WORD Version;
    WORD Flags;
    WORD Reason;
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    LPARAM lParamInit;
    ULONG_PTR UserData;  // the caller's, kept between reasons
    ULONG_PTR Result;    // the caller's result, handed back through pResult
} PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;

typedef LONG (*PFNPROPSHEETUI)(PPROPSHEETUI_INFO info, LPARAM param);

typedef struct _PROPSHEETUI_INFO_HEADER {
    WORD cbSize;
    WORD Flags;
    LPWSTR pTitle;
    HWND hWndParent;
    HINSTANCE hInst;
    union {
        HANDLE hIcon;
        ULONG_PTR IconID;
    };
} PROPSHEETUI_INFO_HEADER, *PPROPSHEETUI_INFO_HEADER;

typedef struct _SETRESULT_INFO {
    WORD cbSize;
    WORD wReserved;
    HANDLE hSetResult;
    LRESULT Result;
} SETRESULT_INFO, *PSETRESULT_INFO;

// Runs the sheet of `sheet_function` (called with lParamInit = `param`)
// modally under `owner`. Returns the property sheet's result (> 0 when
// something was applied, 0 when cancelled) or a negative ERR_CPSUI_* when
// the caller refused its initialisation or added no page; *result gets the
// caller's PROPSHEETUI_INFO.Result when the sheet ran.
QORAPI LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI sheet_function, LPARAM param, LPDWORD result);
typedef LONG (*PFN_CommonPropertySheetUIW)(HWND owner, PFNPROPSHEETUI sheet_function, LPARAM param, LPDWORD result);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(PROPSHEETUI_INFO) == 48 && offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8 &&
              offsetof(PROPSHEETUI_INFO, pfnComPropSheet) == 16 && offsetof(PROPSHEETUI_INFO, lParamInit) == 24 &&
              offsetof(PROPSHEETUI_INFO, UserData) == 32 && offsetof(PROPSHEETUI_INFO, Result) == 40,
              "PROPSHEETUI_INFO layout (LP64)");
static_assert(sizeof(PROPSHEETUI_INFO_HEADER) == 40 && offsetof(PROPSHEETUI_INFO_HEADER, pTitle) == 8 &&
              offsetof(PROPSHEETUI_INFO_HEADER, hWndParent) == 16 && offsetof(PROPSHEETUI_INFO_HEADER, hInst) == 24 &&
              offsetof(PROPSHEETUI_INFO_HEADER, IconID) == 32, "PROPSHEETUI_INFO_HEADER layout (LP64)");
static_assert(sizeof(SETRESULT_INFO) == 24 && offsetof(SETRESULT_INFO, hSetResult) == 8 &&
              offsetof(SETRESULT_INFO, Result) == 16, "SETRESULT_INFO layout (LP64)");
#endif
