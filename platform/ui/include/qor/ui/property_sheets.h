// Property sheets: pages from dialog templates in a tabbed sheet with OK,
// Cancel, Apply and Help, talking to their pages through WM_NOTIFY and the
// PSM_* messages as the platform's sheets do. Included by qor/ui/windows.h.
//
// A page is created when it is first shown (WM_INITDIALOG) and then gets
// PSN_SETACTIVE each time it becomes the current page and PSN_KILLACTIVE
// when it stops being it (a TRUE result in DWLP_MSGRESULT keeps it). OK and
// Apply send PSN_APPLY to every page created so far (PSHNOTIFY.lParam TRUE
// for OK); PSNRET_INVALID or PSNRET_INVALID_NOCHANGEPAGE from a page keeps
// the sheet open on that page. Cancel sends PSN_RESET; Help sends PSN_HELP
// to the current page. PSM_CHANGED enables Apply until every page that
// reported a change has sent PSM_UNCHANGED or applied. When the sheet ends
// its pages are destroyed and every page's PSPCB_RELEASE callback runs, in
// the order they were added, created or not.
#pragma once

#include "qor/ui/windows.h"

QOR_BEGIN_C

typedef struct _PSP* HPROPSHEETPAGE;
struct _PROPSHEETPAGEW;
typedef UINT (*LPFNPSPCALLBACKW)(HWND window, UINT message, struct _PROPSHEETPAGEW* page);
typedef int (*PFNPROPSHEETCALLBACK)(HWND sheet, UINT message, LPARAM param);

#define PSP_DEFAULT 0x00000000
#define PSP_DLGINDIRECT 0x00000001
#define PSP_USETITLE 0x00000008
#define PSP_HASHELP 0x00000020
#define PSP_USEREFPARENT 0x00000040
#define PSP_USECALLBACK 0x00000080

#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

typedef struct _PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        const void* pResource;  // PSP_DLGINDIRECT: a DLGTEMPLATE(EX) in memory
    };
    union {
        HANDLE hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;  // PSP_USETITLE; else the template's caption
    INT_PTR (*pfnDlgProc)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    LPARAM lParam;  // WM_INITDIALOG's lParam is the page's own PROPSHEETPAGEW
    LPFNPSPCALLBACKW pfnCallback;
    UINT* pcRefParent;
    LPCWSTR pszHeaderTitle;
    LPCWSTR pszHeaderSubTitle;
} PROPSHEETPAGEW, *LPPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGEW;

#define PSH_DEFAULT 0x00000000
#define PSH_PROPTITLE 0x00000001
#define PSH_PROPSHEETPAGE 0x00000008
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_USECALLBACK 0x00000100
#define PSH_HASHELP 0x00000200
#define PSH_MODELESS 0x00000400

typedef struct _PROPSHEETHEADERW {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HANDLE hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;  // PSH_PROPTITLE: "<caption> Properties"
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        LPCPROPSHEETPAGEW ppsp;  // PSH_PROPSHEETPAGE
        HPROPSHEETPAGE* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
} PROPSHEETHEADERW, *LPPROPSHEETHEADERW;
typedef const PROPSHEETHEADERW* LPCPROPSHEETHEADERW;

typedef struct _PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam;
} PSHNOTIFY, *LPPSHNOTIFY;

#define PSN_FIRST (0U - 200U)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_HELP (PSN_FIRST - 5)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_APPLY (WM_USER + 110)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_INDEXTOHWND (WM_USER + 129)
#define PSM_GETRESULT (WM_USER + 135)

#define PSBTN_OK 1
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5
#define PSBTN_HELP 6

// Sheet control ids, for tests that click them.
#define IDC_PSAPPLY 0x3021
#define IDC_PSHELP 0x0009

// A copy of the page's first dwSize bytes (at least up to lParam).
QORAPI HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
// For a page never given to a sheet: runs its release callback and frees it.
QORAPI BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
// Modal: 1 when some apply succeeded, 0 otherwise (Cancel), -1 on an
// error (no page, a page that cannot be built). PSH_MODELESS returns the
// sheet's window; once PSM_GETCURRENTPAGEHWND answers null the sheet has
// ended and DestroyWindow releases it. Either way the sheet owns the pages
// it was given, also when it fails.
QORAPI INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(PROPSHEETPAGEW) == 88 && offsetof(PROPSHEETPAGEW, hInstance) == 8 &&
              offsetof(PROPSHEETPAGEW, pszTemplate) == 16 && offsetof(PROPSHEETPAGEW, pszTitle) == 32 &&
              offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40 && offsetof(PROPSHEETPAGEW, lParam) == 48 &&
              offsetof(PROPSHEETPAGEW, pfnCallback) == 56 && offsetof(PROPSHEETPAGEW, pcRefParent) == 64,
              "PROPSHEETPAGEW layout (LP64)");
static_assert(sizeof(PROPSHEETHEADERW) == 72 && offsetof(PROPSHEETHEADERW, hwndParent) == 8 &&
              offsetof(PROPSHEETHEADERW, pszCaption) == 32 && offsetof(PROPSHEETHEADERW, nPages) == 40 &&
              offsetof(PROPSHEETHEADERW, nStartPage) == 48 && offsetof(PROPSHEETHEADERW, phpage) == 56 &&
              offsetof(PROPSHEETHEADERW, pfnCallback) == 64, "PROPSHEETHEADERW layout (LP64)");
static_assert(sizeof(PSHNOTIFY) == 32 && offsetof(PSHNOTIFY, lParam) == 24, "PSHNOTIFY layout (LP64)");
#endif
