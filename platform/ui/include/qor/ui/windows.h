// The desktop layer: the platform's window model on Qt Widgets. A program
// with windows includes this one header and links qorui; nothing else of
// the platform loads Qt.
//
// Window handles are process-local numbers over real widgets. Window and
// dialog procedures, SendMessage (a direct call) and PostMessage (a
// per-thread queue woken through Qt's event loop) behave as the platform's.
// Dialogs come from DLGTEMPLATE / DLGTEMPLATEEX resources of a module; dialog
// units are turned into pixels from the dialog font's average character
// width and height, and "MS Sans Serif" / "MS Shell Dlg" mean the desktop's
// sans font. Text calls come as W (UTF-16) and A (UTF-8).
//
// Test seam: with QOR_UI_SCRIPT=<file> message boxes are answered from the
// file instead of shown (see QorUiScript below); QorUiScreenshot writes any
// window to a PNG file.
#pragma once

#include "qor/gdi.h"
#include "qor/module.h"

QOR_BEGIN_C

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_RESOURCE_NOT_FOUND_DIALOG ERROR_RESOURCE_NAME_NOT_FOUND
#endif

typedef HANDLE HWND;
typedef HANDLE HMENU;
typedef HANDLE HACCEL;
typedef HANDLE HICON;

typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
typedef BOOL (*WNDENUMPROC)(HWND window, LPARAM param);
typedef void (*TIMERPROC)(HWND window, UINT message, UINT_PTR id, DWORD time);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagNMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
} NMHDR, *LPNMHDR;

typedef struct _NM_UPDOWN {
    NMHDR hdr;
    int iPos;
    int iDelta;
} NMUPDOWN, *LPNMUPDOWN;

// ---- messages ----
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_CLOSE 0x0010
#define WM_QUERYENDSESSION 0x0011
#define WM_QUIT 0x0012
#define WM_SHOWWINDOW 0x0018
#define WM_SETTINGCHANGE 0x001A
#define WM_WININICHANGE WM_SETTINGCHANGE
#define WM_DEVMODECHANGE 0x001B
#define WM_ENDSESSION 0x0016
#define WM_DRAWITEM 0x002B
#define WM_MEASUREITEM 0x002C
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NOTIFY 0x004E
#define WM_HELP 0x0053
#define WM_CONTEXTMENU 0x007B
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_DROPFILES 0x0233
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_COMMAND notification codes (HIWORD of wParam).
#define BN_CLICKED 0
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_EDITCHANGE 5
#define CLBN_CHKCHANGE 40

// WM_NOTIFY codes.
#define UDN_FIRST (0U - 721U)
#define UDN_DELTAPOS (UDN_FIRST - 1)
#define TTN_FIRST (0U - 520U)
#define TTN_GETDISPINFOW (TTN_FIRST - 10)
#define TTN_SHOW (TTN_FIRST - 1)
#define TTN_POP (TTN_FIRST - 2)

// ---- window styles ----
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_CONTEXTHELP 0x00000400L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_CLIENTEDGE 0x00000200L

#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L
#define DS_CONTEXTHELP 0x2000L
#define DS_SHELLFONT (DS_SETFONT | 0x0008L)

#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_CHECKBOX 0x2L
#define BS_AUTOCHECKBOX 0x3L
#define BS_RADIOBUTTON 0x4L
#define BS_3STATE 0x5L
#define BS_AUTO3STATE 0x6L
#define BS_GROUPBOX 0x7L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_OWNERDRAW 0xBL
#define BS_TYPEMASK 0xFL

#define ES_LEFT 0x0L
#define ES_CENTER 0x1L
#define ES_RIGHT 0x2L
#define ES_MULTILINE 0x4L
#define ES_PASSWORD 0x20L
#define ES_AUTOHSCROLL 0x80L
#define ES_READONLY 0x800L
#define ES_NUMBER 0x2000L

#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define SS_ICON 0x3L
#define SS_TYPEMASK 0x1FL

#define LBS_NOTIFY 0x1L
#define LBS_SORT 0x2L
#define LBS_OWNERDRAWFIXED 0x10L
#define LBS_OWNERDRAWVARIABLE 0x20L
#define LBS_HASSTRINGS 0x40L

#define CBS_SIMPLE 0x1L
#define CBS_DROPDOWN 0x2L
#define CBS_DROPDOWNLIST 0x3L
#define CBS_SORT 0x100L

#define UDS_SETBUDDYINT 0x2L
#define UDS_ALIGNRIGHT 0x4L
#define UDS_AUTOBUDDY 0x10L
#define UDS_ARROWKEYS 0x20L
#define UDS_NOTHOUSANDS 0x80L

#define TBS_AUTOTICKS 0x1L
#define TBS_VERT 0x2L

// ---- control messages ----
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BST_INDETERMINATE 2

#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_GETLIMITTEXT 0x00D5

#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_ERR (-1)

#define CB_GETEDITSEL 0x0140
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRINGEXACT 0x0158
#define CB_SETCURSEL 0x014E
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_ERR (-1)

// Check list box: the check state of item wParam.
#define CLB_GETCHECK (WM_USER + 0x100)
#define CLB_SETCHECK (WM_USER + 0x101)

#define UDM_SETRANGE (WM_USER + 101)
#define UDM_GETRANGE (WM_USER + 102)
#define UDM_SETPOS (WM_USER + 103)
#define UDM_GETPOS (WM_USER + 104)
#define UDM_SETBUDDY (WM_USER + 105)
#define UDM_GETBUDDY (WM_USER + 106)
#define UDM_SETRANGE32 (WM_USER + 111)
#define UDM_GETRANGE32 (WM_USER + 112)
#define UDM_SETPOS32 (WM_USER + 113)
#define UDM_GETPOS32 (WM_USER + 114)

#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETRANGEMIN (WM_USER + 7)
#define TBM_SETRANGEMAX (WM_USER + 8)
#define TBM_SETTICFREQ (WM_USER + 20)
#define TBM_SETPAGESIZE (WM_USER + 21)

// Control classes by name; dialog templates use the atoms 0x0080.. for the
// first six.
#define WC_BUTTONW u"Button"
#define WC_EDITW u"Edit"
#define WC_STATICW u"Static"
#define WC_LISTBOXW u"ListBox"
#define WC_COMBOBOXW u"ComboBox"
#define UPDOWN_CLASSW u"msctls_updown32"
#define TRACKBAR_CLASSW u"msctls_trackbar32"
#define TOOLTIPS_CLASSW u"tooltips_class32"
#define WC_CHECKLISTBOXW u"CheckListBox"

// ---- window classes and windows ----
typedef WORD ATOM;
typedef HANDLE HCURSOR;

typedef struct tagWNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HANDLE hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXW;

typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW;

#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_MESSAGE ((HWND)(LONG_PTR)-3)

// Classes registered by the program; the built-in control classes need no
// registration. A window without parent (or WS_POPUP) is top-level and
// visible to other processes by class and title.
QORAPI ATOM RegisterClassExW(const WNDCLASSEXW* window_class);
QORAPI BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);
// For a child control `menu` is its id. WM_CREATE returning -1 fails it.
QORAPI HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);

// ---- tool tips ----
#define TTF_IDISHWND 0x0001
#define TTF_CENTERTIP 0x0002
#define TTF_SUBCLASS 0x0010
#define TTS_ALWAYSTIP 0x01
#define TTS_NOPREFIX 0x02
#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_ADDTOOLW (WM_USER + 50)
#define TTM_DELTOOLW (WM_USER + 51)
#define TTM_UPDATETIPTEXTW (WM_USER + 57)
#define LPSTR_TEXTCALLBACKW ((LPWSTR)(LONG_PTR)-1)

typedef struct tagTOOLINFOW {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;
    LPARAM lParam;
    void* lpReserved;
} TOOLINFOW, *LPTOOLINFOW;

typedef struct tagNMTTDISPINFOW {
    NMHDR hdr;
    LPWSTR lpszText;
    WCHAR szText[80];
    HINSTANCE hinst;
    UINT uFlags;
    LPARAM lParam;
} NMTTDISPINFOW, *LPNMTTDISPINFOW;

// ---- dialogs ----
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)

QORAPI INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param);
QORAPI INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
QORAPI INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const void* dialog_template, HWND parent,
                                       DLGPROC proc, LPARAM param);
QORAPI HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param);
QORAPI HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
QORAPI HWND CreateDialogIndirectParamW(HINSTANCE instance, const void* dialog_template, DWORD size,
                                       HWND parent, DLGPROC proc, LPARAM param);
// A dialog template as a child of `parent_widget` (a QWidget*), for hosts
// such as a property sheet; it is shown and gets WM_INITDIALOG like any
// dialog, and its owner for messages is `parent`.
QORAPI HWND QorUiCreatePage(HINSTANCE instance, LPCWSTR name, void* parent_widget, HWND parent, DLGPROC proc,
                            LPARAM param);
// The same from a template in memory of `size` bytes.
QORAPI HWND QorUiCreatePageIndirect(const void* dialog_template, DWORD size, void* parent_widget, HWND parent,
                                    DLGPROC proc, LPARAM param);
QORAPI BOOL EndDialog(HWND dialog, INT_PTR result);
// The procedure of a box with nothing to decide (a version box): OK or
// Cancel ends it with that command.
QORAPI INT_PTR QorUiPlainBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
QORAPI BOOL IsDialogMessageW(HWND dialog, LPMSG message);
QORAPI BOOL MapDialogRect(HWND dialog, LPRECT rect);
QORAPI LONG GetDialogBaseUnits(void);

QORAPI HWND GetDlgItem(HWND dialog, int id);
QORAPI int GetDlgCtrlID(HWND window);
QORAPI LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
QORAPI BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
QORAPI BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
QORAPI UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size);
QORAPI UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
// The leading decimal digits (after an optional '-' when is_signed); "12a"
// is 12 and "a12" is 0 with *translated FALSE.
QORAPI UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed);
QORAPI BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed);
QORAPI BOOL CheckDlgButton(HWND dialog, int id, UINT check);
QORAPI UINT IsDlgButtonChecked(HWND dialog, int id);
QORAPI BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id);

// ---- windows and messages ----
QORAPI LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
QORAPI BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
QORAPI void PostQuitMessage(int exit_code);
QORAPI BOOL GetMessageW(LPMSG message, HWND window, UINT first, UINT last);
#define PM_NOREMOVE 0
#define PM_REMOVE 1
QORAPI BOOL PeekMessageW(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
QORAPI BOOL TranslateMessage(const MSG* message);
QORAPI LRESULT DispatchMessageW(const MSG* message);
QORAPI LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
QORAPI LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

QORAPI BOOL IsWindow(HWND window);
QORAPI BOOL DestroyWindow(HWND window);
QORAPI HWND GetParent(HWND window);
QORAPI BOOL SetWindowTextW(HWND window, LPCWSTR text);
QORAPI BOOL SetWindowTextA(HWND window, LPCSTR text);
QORAPI int GetWindowTextW(HWND window, LPWSTR buffer, int size);
QORAPI int GetWindowTextA(HWND window, LPSTR buffer, int size);
QORAPI int GetWindowTextLengthW(HWND window);
QORAPI BOOL EnableWindow(HWND window, BOOL enable);
QORAPI BOOL IsWindowEnabled(HWND window);
QORAPI BOOL IsWindowVisible(HWND window);
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
QORAPI BOOL ShowWindow(HWND window, int command);
QORAPI BOOL IsIconic(HWND window);
QORAPI HWND SetFocus(HWND window);
QORAPI HWND GetFocus(void);
QORAPI BOOL SetForegroundWindow(HWND window);
QORAPI BOOL GetWindowRect(HWND window, LPRECT rect);
QORAPI BOOL GetClientRect(HWND window, LPRECT rect);
QORAPI BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
QORAPI LONG_PTR GetWindowLongPtrW(HWND window, int index);
QORAPI LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

QORAPI BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data);
QORAPI HANDLE GetPropW(HWND window, LPCWSTR name);
QORAPI HANDLE RemovePropW(HWND window, LPCWSTR name);

// ---- between processes ----
// Top-level windows of every process of the user (see
// qor/ui/window_directory.h). Another process's window takes PostMessage
// (lParam travels as a number), SetForegroundWindow, ShowWindow(SW_RESTORE
// or SW_SHOW), IsIconic, IsWindow and GetPropW (the property's value as
// its owner set it).
QORAPI HWND FindWindowW(LPCWSTR class_name, LPCWSTR title);
QORAPI BOOL EnumWindows(WNDENUMPROC proc, LPARAM param);
QORAPI HWND GetLastActivePopup(HWND window);
// Sends WM_SETTINGCHANGE with lParam = `section` to every top-level window
// of every process; returns how many windows it reached.
QORAPI int QorUiBroadcastSettingChange(LPCWSTR section);
// The top-level window (of any process) carrying the property: restored if
// minimised, and it or its last active pop-up brought to the foreground.
// Null when there is none.
QORAPI HWND QorUiRaiseMarkedWindow(LPCWSTR property);
// A program's single instance: its executable's name without folder and
// extension (written to `name`) names a mutex and the property its main
// window carries. Returns the mutex (close it at exit) for the first
// instance; for a later one raises the first's window and returns null with
// ERROR_ALREADY_EXISTS; null with another error when the mutex fails.
QORAPI HANDLE QorUiClaimSingleInstance(LPWSTR name, DWORD chars);

QORAPI UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
QORAPI BOOL KillTimer(HWND window, UINT_PTR id);

// ---- help ----
#define HELPINFO_WINDOW 0x0001
typedef struct tagHELPINFO {
    UINT cbSize;
    int iContextType;
    int iCtrlId;
    HANDLE hItemHandle;
    DWORD_PTR dwContextId;
    POINT MousePos;
} HELPINFO, *LPHELPINFO;
// F1 on a dialog's control sends WM_HELP (lParam a HELPINFO) to the
// dialog; the context menu key or right button sends WM_CONTEXTMENU
// (wParam the control, lParam the screen position) to it.

// ---- message boxes ----
#define MB_OK 0x0L
#define MB_OKCANCEL 0x1L
#define MB_ABORTRETRYIGNORE 0x2L
#define MB_YESNOCANCEL 0x3L
#define MB_YESNO 0x4L
#define MB_RETRYCANCEL 0x5L
#define MB_TYPEMASK 0xFL
#define MB_ICONHAND 0x10L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x20L
#define MB_ICONEXCLAMATION 0x30L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x40L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0xF0L
#define MB_DEFBUTTON1 0x0L
#define MB_DEFBUTTON2 0x100L
#define MB_DEFBUTTON3 0x200L
#define MB_DEFMASK 0xF00L
#define MB_APPLMODAL 0x0L
#define MB_SYSTEMMODAL 0x1000L
#define MB_TASKMODAL 0x2000L
#define MB_SETFOREGROUND 0x10000L
#define MB_TOPMOST 0x40000L

QORAPI int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
QORAPI int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- notification area ----
#define NIM_ADD 0x0
#define NIM_MODIFY 0x1
#define NIM_DELETE 0x2
#define NIF_MESSAGE 0x1
#define NIF_ICON 0x2
#define NIF_TIP 0x4
#define NIF_INFO 0x10
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205

typedef struct _NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    UINT uTimeout;
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    BYTE guidItem[16];
    HICON hBalloonIcon;
} NOTIFYICONDATAW, *PNOTIFYICONDATAW;

// On QSystemTrayIcon where the desktop has a tray; without one the icon
// still exists for the program and the test seam (every change is written
// to QOR_UI_LOG as "@tray|<add|modify|delete>|<tip>"). Clicks arrive as
// uCallbackMessage with wParam = uID and lParam = WM_LBUTTONUP,
// WM_LBUTTONDBLCLK, or WM_RBUTTONDOWN followed by WM_RBUTTONUP.
QORAPI BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);

// ---- session end ----
// When the desktop session ends, every top-level window gets
// WM_QUERYENDSESSION and then WM_ENDSESSION (wParam TRUE). Tests call this
// to play the same sequence.
QORAPI void QorUiEndSession(void);

// ---- file dialogs ----
#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000

typedef UINT_PTR (*LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;  // "Text\0*.txt\0All files\0*.*\0\0"
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
} OPENFILENAMEW, *LPOPENFILENAMEW;

// FALSE on Cancel (CommDlgExtendedError 0) and when the chosen path does
// not fit lpstrFile (FNERR_BUFFERTOOSMALL).
#define FNERR_BUFFERTOOSMALL 0x3003
QORAPI BOOL GetOpenFileNameW(LPOPENFILENAMEW dialog);
QORAPI BOOL GetSaveFileNameW(LPOPENFILENAMEW dialog);
QORAPI DWORD CommDlgExtendedError(void);

// ---- test seam ----
// With QOR_UI_SCRIPT=<file>, every message box is answered from the file
// rather than shown. One box per line, fields separated by '|':
//     <caption>|<text>|<icon>|<button>
// icon is none, error, question, warning or information; button is ok,
// cancel, abort, retry, ignore, yes or no; "\n" in a text is a line break.
// File dialogs take their turn in the same script as
//     @open|<title>|<path>      @save|<title>|<path>
// (an empty path is Cancel), and tracked menus as @menu|<item> (see
// qor/ui/menus.h).
// A '#' line is a comment. A box that does not match the next line, or one
// beyond the end, is written to stderr and the process aborts, so a test
// cannot miss a message. With QOR_UI_LOG=<file> each box shown is appended
// there in the same format (with the button pressed).
// Writes the window (with its children) to a PNG file.
QORAPI BOOL QorUiScreenshot(HWND window, const char* png_path);
// The same for a window of any process (found with FindWindow): the owner
// writes the file when it next runs its event loop.
QORAPI BOOL QorUiRequestScreenshot(HWND window, const char* png_path);

QOR_END_C

#include "qor/ui/drawing.h"
#include "qor/ui/menus.h"
#include "qor/ui/frame.h"

#ifdef __cplusplus
static_assert(sizeof(MSG) == 48 && offsetof(MSG, message) == 8 && offsetof(MSG, wParam) == 16 &&
              offsetof(MSG, lParam) == 24 && offsetof(MSG, time) == 32 && offsetof(MSG, pt) == 36,
              "MSG layout (LP64)");
static_assert(sizeof(NMHDR) == 24 && offsetof(NMHDR, idFrom) == 8 && offsetof(NMHDR, code) == 16,
              "NMHDR layout (LP64)");
static_assert(sizeof(OPENFILENAMEW) == 152 && offsetof(OPENFILENAMEW, lpstrFilter) == 24 &&
              offsetof(OPENFILENAMEW, nFilterIndex) == 44 && offsetof(OPENFILENAMEW, lpstrFile) == 48 &&
              offsetof(OPENFILENAMEW, Flags) == 96 && offsetof(OPENFILENAMEW, nFileOffset) == 100 &&
              offsetof(OPENFILENAMEW, lpstrDefExt) == 104 && offsetof(OPENFILENAMEW, FlagsEx) == 148,
              "OPENFILENAMEW layout (LP64)");
static_assert(sizeof(NOTIFYICONDATAW) == 976 && offsetof(NOTIFYICONDATAW, hIcon) == 32 &&
              offsetof(NOTIFYICONDATAW, szTip) == 40 && offsetof(NOTIFYICONDATAW, szInfo) == 304 &&
              offsetof(NOTIFYICONDATAW, szInfoTitle) == 820 && offsetof(NOTIFYICONDATAW, hBalloonIcon) == 968,
              "NOTIFYICONDATAW layout (LP64)");
static_assert(sizeof(HELPINFO) == 40 && offsetof(HELPINFO, hItemHandle) == 16 && offsetof(HELPINFO, MousePos) == 32,
              "HELPINFO layout (LP64)");
static_assert(sizeof(TOOLINFOW) == 72 && offsetof(TOOLINFOW, hwnd) == 8 && offsetof(TOOLINFOW, rect) == 24 &&
              offsetof(TOOLINFOW, lpszText) == 48, "TOOLINFOW layout (LP64)");
static_assert(sizeof(NMTTDISPINFOW) == 216 && offsetof(NMTTDISPINFOW, szText) == 32 &&
              offsetof(NMTTDISPINFOW, hinst) == 192, "NMTTDISPINFOW layout (LP64)");
static_assert(sizeof(WNDCLASSEXW) == 80 && offsetof(WNDCLASSEXW, lpfnWndProc) == 8 &&
              offsetof(WNDCLASSEXW, lpszClassName) == 64, "WNDCLASSEXW layout (LP64)");
static_assert(sizeof(NMUPDOWN) == 32 && offsetof(NMUPDOWN, iPos) == 24, "NMUPDOWN layout (LP64)");
#endif

#include "qor/ui/help.h"
#include "qor/ui/property_sheets.h"
#include "qor/ui/version_info.h"
