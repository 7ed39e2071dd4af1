// Menus and accelerators of the desktop layer (included by qor/ui/windows.h).
//
// An HMENU is a process-local list of items; Qt menus are built from it
// whenever one is about to show, after WM_INITMENUPOPUP has let the owner
// enable and check its items. '&' marks a mnemonic as it does in Qt, and
// the text after '\t' is shown as the shortcut. Choosing an item posts
// WM_COMMAND (wParam = id) to the owner, or WM_SYSCOMMAND for the system
// menu; the item under the pointer is announced with WM_MENUSELECT.
//
// The system menu (GetSystemMenu) holds only what the program appends; it
// opens on a right click on the window's own background or on Alt+Space,
// through DefWindowProc's WM_CONTEXTMENU.
//
// Test seam: with QOR_UI_SCRIPT set, a tracked pop-up menu (TrackPopupMenu
// and the system menu) is not shown; it takes the script's next line
//     @menu|<item>
// which names the item to choose by its text with or without the '&'
// marks and without the shortcut part (items of submenus are found too);
// "@menu|" dismisses the menu. A missing or disabled item fails the test.
// QOR_UI_LOG gets the same line for every tracked menu.
#pragma once

QOR_BEGIN_C

#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_INITMENU 0x0116
#define WM_INITMENUPOPUP 0x0117
#define WM_MENUSELECT 0x011F

#define MF_STRING 0x0000L
#define MF_ENABLED 0x0000L
#define MF_UNCHECKED 0x0000L
#define MF_BYCOMMAND 0x0000L
#define MF_GRAYED 0x0001L
#define MF_DISABLED 0x0002L
#define MF_CHECKED 0x0008L
#define MF_POPUP 0x0010L
#define MF_HILITE 0x0080L
#define MF_BYPOSITION 0x0400L
#define MF_SEPARATOR 0x0800L
#define MF_SYSMENU 0x2000L
#define MF_MOUSESELECT 0x8000L

#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_CENTERALIGN 0x0004L
#define TPM_RIGHTALIGN 0x0008L
#define TPM_TOPALIGN 0x0000L
#define TPM_BOTTOMALIGN 0x0020L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L

#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

typedef struct tagTPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
} TPMPARAMS, *LPTPMPARAMS;

QORAPI HMENU CreateMenu(void);
QORAPI HMENU CreatePopupMenu(void);
// Also destroys the submenus it holds.
QORAPI BOOL DestroyMenu(HMENU menu);
QORAPI BOOL IsMenu(HMENU menu);
// MF_POPUP: `id` is the submenu's HMENU. MF_SEPARATOR: no text.
QORAPI BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
QORAPI BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
// `position` (MF_BYPOSITION, (UINT)-1 appends) or the command before
// which the item goes.
QORAPI BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
// Removes an item (a submenu is destroyed with it).
QORAPI BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// MF_BYCOMMAND looks through the submenus too. Both return the previous
// state (MF_ENABLED/MF_GRAYED/MF_DISABLED, MF_CHECKED/MF_UNCHECKED), or
// (UINT)-1 when there is no such item.
QORAPI UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
QORAPI DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// The item's MF_* flags (for a submenu also MF_POPUP), (UINT)-1 if absent.
QORAPI UINT GetMenuState(HMENU menu, UINT item, UINT flags);
QORAPI HMENU GetSubMenu(HMENU menu, int position);
QORAPI int GetMenuItemCount(HMENU menu);
// (UINT)-1 for a submenu or a position past the end.
QORAPI UINT GetMenuItemID(HMENU menu, int position);
QORAPI int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int size, UINT flags);

// A MENU resource (RT_MENU) of the module, or a template in memory.
QORAPI HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
QORAPI HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
QORAPI HMENU LoadMenuIndirectW(const void* menu_template, DWORD size);

// The menu bar of a top-level window; it sits above the client area.
QORAPI BOOL SetMenu(HWND window, HMENU menu);
QORAPI HMENU GetMenu(HWND window);
QORAPI BOOL DrawMenuBar(HWND window);
QORAPI HMENU GetSystemMenu(HWND window, BOOL revert);

// x, y in screen coordinates. TPM_RETURNCMD returns the chosen id (0 when
// dismissed) instead of posting WM_COMMAND; TPM_NONOTIFY sends neither
// WM_INITMENUPOPUP nor WM_MENUSELECT.
QORAPI BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
QORAPI BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* unused);

// ---- accelerators ----
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

typedef struct tagACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
} ACCEL, *LPACCEL;

// An ACCELERATORS resource (RT_ACCELERATOR).
QORAPI HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
QORAPI HACCEL CreateAcceleratorTableW(LPACCEL entries, int count);
QORAPI BOOL DestroyAcceleratorTable(HACCEL table);
// Keys reach the layer's windows as Qt key events, not as queued
// WM_KEYDOWN, so the first call for a window binds the table's keys to it:
// from then on a matching key press in that window sends WM_COMMAND
// (HIWORD 1) to it, as long as the command's item in the window's menu (if
// it has one) is enabled after WM_INITMENUPOPUP. A WM_KEYDOWN / WM_SYSKEYDOWN
// message handed in is matched the same way; TRUE when it was translated.
QORAPI int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG message);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(ACCEL) == 6 && offsetof(ACCEL, key) == 2 && offsetof(ACCEL, cmd) == 4, "ACCEL layout");
static_assert(sizeof(TPMPARAMS) == 20 && offsetof(TPMPARAMS, rcExclude) == 4, "TPMPARAMS layout");
#endif
