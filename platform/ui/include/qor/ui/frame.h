// The single-document frame, the status bar, dropped files and the wait
// cursor (included by qor/ui/windows.h).
//
// A frame is a top-level window of the program's own class that calls
// QorUiAttachFrame once (in WM_CREATE or right after creating it): the
// layer gives it the menu bar and accelerators, docks a dialog bar (a
// child dialog from a template) under the menu, a status bar at the bottom
// and a form (another child dialog) between them. While a menu is open the
// status bar shows the prompt of the item under the pointer - the string
// with the command's number, up to its '\n' - and the idle text otherwise.
// Commands of the menu and the accelerators go to the frame's procedure,
// which hands on to the form what the form handles.
#pragma once

QOR_BEGIN_C

// ---- status bar ----
#define STATUSCLASSNAMEW u"msctls_statusbar32"
#define SB_SETTEXTW (WM_USER + 11)
#define SB_GETTEXTW (WM_USER + 13)
#define SB_GETTEXTLENGTHW (WM_USER + 12)
#define SB_SETPARTS (WM_USER + 4)
#define SB_GETPARTS (WM_USER + 6)
#define SB_SIMPLE (WM_USER + 9)

// ---- frame ----
typedef struct QOR_FRAME_PARTS {
    HINSTANCE instance;
    LPCWSTR menu;          // MENU resource, or null
    LPCWSTR accelerators;  // ACCELERATORS resource, or null
    LPCWSTR dialog_bar;    // dialog template docked under the menu, or null
    DLGPROC dialog_bar_proc;
    LPCWSTR form;          // dialog template of the client area
    DLGPROC form_proc;
    LPARAM param;          // lParam of both dialogs' WM_INITDIALOG
    UINT idle_text;        // string id of the status bar's idle text
} QOR_FRAME_PARTS;

// FALSE (and nothing attached) when a resource is missing.
QORAPI BOOL QorUiAttachFrame(HWND frame, const QOR_FRAME_PARTS* parts);
#define QOR_FRAME_BAR 0
#define QOR_FRAME_FORM 1
#define QOR_FRAME_STATUS 2
QORAPI HWND QorUiFramePart(HWND frame, int part);
// Sizes the frame to fit the form (the frame cannot be resized by the user
// afterwards); `center` also centres it on the screen.
QORAPI BOOL QorUiFitFrameToForm(HWND frame, BOOL center);

// ---- dropped files ----
typedef HANDLE HDROP;
// Files dropped on the window arrive as WM_DROPFILES (wParam an HDROP,
// which the procedure hands back with DragFinish).
QORAPI void DragAcceptFiles(HWND window, BOOL accept);
// index 0xFFFFFFFF: the number of files. A null buffer: the length of the
// file's path; otherwise it is copied (truncated, terminated), the units
// copied returned.
QORAPI UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size);
QORAPI BOOL DragQueryPoint(HDROP drop, LPPOINT point);
QORAPI void DragFinish(HDROP drop);

// ---- cursors ----
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)
// The shared system cursors only (a null instance).
QORAPI HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// The cursor over all of the program's windows, as Qt's override cursor;
// the arrow ends the override. Returns the previous cursor.
QORAPI HCURSOR SetCursor(HCURSOR cursor);
QORAPI HCURSOR GetCursor(void);

QOR_END_C
