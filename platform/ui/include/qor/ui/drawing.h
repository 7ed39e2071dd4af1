// Drawing in windows: owner-drawn list boxes, window device contexts, text
// laid out in a rectangle, icons from resources and the screen's metrics.
// Included by qor/ui/windows.h.
//
// A window device context is a device context of the graphics engine
// (qor/gdi.h) over the window's surface: SelectObject, SetTextColor,
// SetBkMode, ExtTextOutW, GetTextExtentPoint32W, GetTextMetricsW, FillRect,
// GetDeviceCaps and EnumFontFamiliesExW work on it as on a printer's.
#pragma once

QOR_BEGIN_C

// ---- owner-drawn list boxes ----
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_NOSEL 0x4000L
#define LB_SETITEMHEIGHT 0x01A0
#define LB_GETITEMHEIGHT 0x01A1

#define ODT_LISTBOX 2
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_DISABLED 0x0004
#define ODS_FOCUS 0x0010

// WM_MEASUREITEM (wParam the control id, lParam this record) goes to the
// list's parent once for LBS_OWNERDRAWFIXED and once per item for
// LBS_OWNERDRAWVARIABLE; LB_SETITEMHEIGHT overrides the answer.
typedef struct tagMEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
} MEASUREITEMSTRUCT, *LPMEASUREITEMSTRUCT;

// WM_DRAWITEM: hDC is valid only while the message is handled; rcItem is in
// the list's client coordinates.
typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;

// ---- window device contexts ----
// A context for measuring in a window outside its painting (what is drawn
// on it is not shown). ReleaseDC frees it.
QORAPI HDC GetDC(HWND window);
QORAPI int ReleaseDC(HWND window, HDC hdc);
QORAPI BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
QORAPI BOOL UpdateWindow(HWND window);

#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
QORAPI DWORD GetSysColor(int index);

// ---- text in a rectangle ----
#define DT_TOP 0x0000
#define DT_LEFT 0x0000
#define DT_CENTER 0x0001
#define DT_RIGHT 0x0002
#define DT_VCENTER 0x0004
#define DT_BOTTOM 0x0008
#define DT_WORDBREAK 0x0010
#define DT_SINGLELINE 0x0020
#define DT_NOCLIP 0x0100
#define DT_CALCRECT 0x0400
#define DT_NOPREFIX 0x0800
// Draws with the context's font and colours; returns the text's height
// (0 on failure). DT_WORDBREAK breaks lines between words (a word wider
// than the rectangle is broken between characters); DT_CALCRECT only
// measures, setting rect's right and bottom.
QORAPI int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format);

// ---- icons ----
// From the module's RT_GROUP_ICON resource (by ordinal or name): the image
// nearest 32 x 32. DestroyIcon is not needed for these shared icons.
QORAPI HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
QORAPI BOOL DestroyIcon(HICON icon);

// ---- screen ----
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
QORAPI int GetSystemMetrics(int index);
QORAPI BOOL GetCursorPos(LPPOINT point);

// ---- test seam ----
// With QOR_UI_LOG set, appends "@<kind>|<what>|<text>" to it, so that a
// test in another process sees what a window showed (the status monitor's
// pop-up box logs its messages this way).
QORAPI void QorUiLogEvent(const char* kind, const char* what, const char* text);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(MEASUREITEMSTRUCT) == 32 && offsetof(MEASUREITEMSTRUCT, itemHeight) == 16 &&
              offsetof(MEASUREITEMSTRUCT, itemData) == 24, "MEASUREITEMSTRUCT layout (LP64)");
static_assert(sizeof(DRAWITEMSTRUCT) == 64 && offsetof(DRAWITEMSTRUCT, hwndItem) == 24 &&
              offsetof(DRAWITEMSTRUCT, hDC) == 32 && offsetof(DRAWITEMSTRUCT, rcItem) == 40 &&
              offsetof(DRAWITEMSTRUCT, itemData) == 56, "DRAWITEMSTRUCT layout (LP64)");
#endif
