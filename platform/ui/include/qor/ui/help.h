// Help files shown in the desktop's help window. Included by
// qor/ui/windows.h.
//
// A help file is text in UTF-8: a line "@<context> <title>" starts a topic
// and the lines up to the next such line are its text; lines before the
// first topic and lines starting with '#' are comments. A bare file name is
// looked for in the Help folder of the platform's folder (the parent of
// GetSystemDirectory), any other path is taken as it is.
//
// Test seam: with QOR_UI_LOG set, every topic shown is logged as
// "@help|<window|popup|menu>|<context>|<title>" (the menu line when the
// "What's This?" menu is offered, with context 0 and no title).
#pragma once

#include "qor/ui/windows.h"

QOR_BEGIN_C

#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif

#define HELP_CONTEXT 0x0001
#define HELP_QUIT 0x0002
#define HELP_CONTEXTPOPUP 0x0008
#define HELP_CONTEXTMENU 0x000A
#define HELP_FINDER 0x000B
#define HELP_WM_HELP 0x000C

// HELP_CONTEXT: the topic `data` in the help window. HELP_CONTEXTPOPUP: the
// topic `data` as a pop-up beside `window`. HELP_WM_HELP: `window` is a
// control and `data` a DWORD array of (control id, context) pairs ending
// in 0, 0; the control's topic as a pop-up. HELP_CONTEXTMENU: the same
// pairs; offers the "What's This?" menu and shows the pop-up when it is
// chosen. HELP_QUIT closes the help window `window` opened. FALSE
// (ERROR_FILE_NOT_FOUND or ERROR_INVALID_DATA) when the file cannot be
// read, ERROR_NOT_FOUND when it has no such topic or the control no pair.
QORAPI BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data);

QOR_END_C
