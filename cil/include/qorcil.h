/* QORCIL, the interface library of the QOR ZEM-D printers: a system-wide
 * session on a printer, its status, and raw bytes to and from it, all
 * through the spooler. Applications load "QORCIL.DLL" with LoadLibraryA and
 * bind the entries below by name (the PFN_ types); docs/qorcil.md describes
 * the calling order, the result codes, the status bits and what each call
 * costs in time. C and C++. */
#ifndef QORCIL_H
#define QORCIL_H

#include "qor/base.h"

QOR_BEGIN_C

/* ---- result codes of the printer handle API (0 is success; any other value
 * not listed is a platform error code passed through) ---- */
#define QORCIL_OK 0u
#define QORCIL_E_NO_SUCH_PRINTER 100001u     /* no local "QOR ZEM" printer matches the name */
#define QORCIL_E_EMPTY_HANDLE 100002u        /* the spooler returned an empty printer handle */
#define QORCIL_E_NOT_READY 100003u           /* printing, two-way off, direct, network, or no connection */
#define QORCIL_E_DIRECT_PRINTING 100004u     /* the printer prints directly, bypassing the spooler */
#define QORCIL_E_INVALID_SESSION 100005u     /* the session handle is invalid */
#define QORCIL_E_NULL_POINTER 100006u        /* a required output pointer is null */
#define QORCIL_E_NULL_NAME 100007u           /* the printer name is null */
#define QORCIL_E_BUSY_HERE 100008u           /* a session is open in this process, or a call is connected */
#define QORCIL_E_BUSY_ELSEWHERE 100009u      /* a session is open elsewhere in the system */
#define QORCIL_E_SEND_INCOMPLETE 100010u     /* a send did not complete, or was cancelled */
#define QORCIL_E_NO_ANSWER 100013u           /* the printer does not answer */
#define QORCIL_E_END_REQUEST 100014u         /* the end request failed when the session was closed */
#define QORCIL_E_CLOSE_PRINTER 100015u       /* closing the spooler printer handle failed */
#define QORCIL_E_STATUS_BUSY 100016u         /* a status query is already in progress */
#define QORCIL_E_SEND_BUSY 100017u           /* a send is already in progress */
#define QORCIL_E_RECEIVE_BUSY 100018u        /* a receive is already in progress */
#define QORCIL_E_STATUS_LOCKED 100019u       /* the request mutex was not free within 2000 ms (status) */
#define QORCIL_E_DATA_LOCKED 100021u         /* the request mutex was not free within 2000 ms (send, receive) */
#define QORCIL_E_NO_LIBRARY_STATE 100022u    /* the library state is missing */
#define QORCIL_E_GREETING_INCOMPLETE 100023u /* the session greeting was not sent completely */
#define QORCIL_E_NOT_SUPPORTED 100099u       /* GetQorPrinterData is not supported */

/* ---- printer status word (GetQorPrinterStatus) ---- */
#define QORCIL_STATUS_FATAL_ERROR 0x00000002u
#define QORCIL_STATUS_PAPER_JAM 0x00000008u
#define QORCIL_STATUS_PAPER_OUT 0x00000010u
#define QORCIL_STATUS_MANUAL_FEED 0x00000020u
#define QORCIL_STATUS_OFFLINE 0x00000080u
#define QORCIL_STATUS_PRINTING 0x00000400u
#define QORCIL_STATUS_AUTO_RECOVERY_ERROR 0x00002000u
#define QORCIL_STATUS_COVER_OPEN 0x00400000u
#define QORCIL_STATUS_CUTTER_ERROR 0x20000000u
#define QORCIL_STATUS_PAPER_NEAR_END 0x40000000u
/* Alone: the printer does not answer. */
#define QORCIL_STATUS_NO_ANSWER 0x80000000u

/* GetQorPrinterStatus option */
#define QORCIL_HISTORY 0u
#define QORCIL_CURRENT 1u

/* ---- printer handle API: result codes ---- */
QORAPI DWORD OpenQorPrinterA(LPCSTR printer_name, LPHANDLE session);
QORAPI DWORD OpenQorPrinterW(LPCWSTR printer_name, LPHANDLE session);
QORAPI DWORD CloseQorPrinter(HANDLE session);
QORAPI DWORD GetQorPrinterStatus(HANDLE session, LPDWORD status, DWORD option);
QORAPI DWORD SetQorPrinterData(HANDLE session, const BYTE* data, DWORD length, LPDWORD sent);
QORAPI DWORD GetQorPrinterData(HANDLE session, DWORD ignored1, DWORD ignored2, LPDWORD out);
QORAPI DWORD CommQorPrinterData(HANDLE session, const BYTE* send, DWORD send_length, LPDWORD sent, BYTE* receive,
                                DWORD receive_size, LPDWORD received);

/* ---- session API: TRUE exactly when the wrapped call above returns 0 ---- */
QORAPI BOOL CILStartSessionA(LPCSTR printer_name, LPHANDLE session);
QORAPI BOOL CILStartSessionW(LPCWSTR printer_name, LPHANDLE session);
QORAPI BOOL CILEndSession(HANDLE session);
QORAPI BOOL CILGetPrinterStatus(HANDLE session, LPDWORD status, DWORD option);
QORAPI BOOL CILSetPrinterData(HANDLE session, const BYTE* data, DWORD length, LPDWORD sent);
QORAPI BOOL CILGetPrinterData(HANDLE session, BYTE* buffer, DWORD size, LPDWORD received);

/* ---- the same entries as bound with GetProcAddress ---- */
typedef DWORD (*PFN_OpenQorPrinterA)(LPCSTR, LPHANDLE);
typedef DWORD (*PFN_OpenQorPrinterW)(LPCWSTR, LPHANDLE);
typedef DWORD (*PFN_CloseQorPrinter)(HANDLE);
typedef DWORD (*PFN_GetQorPrinterStatus)(HANDLE, LPDWORD, DWORD);
typedef DWORD (*PFN_SetQorPrinterData)(HANDLE, const BYTE*, DWORD, LPDWORD);
typedef DWORD (*PFN_GetQorPrinterData)(HANDLE, DWORD, DWORD, LPDWORD);
typedef DWORD (*PFN_CommQorPrinterData)(HANDLE, const BYTE*, DWORD, LPDWORD, BYTE*, DWORD, LPDWORD);
typedef BOOL (*PFN_CILStartSessionA)(LPCSTR, LPHANDLE);
typedef BOOL (*PFN_CILStartSessionW)(LPCWSTR, LPHANDLE);
typedef BOOL (*PFN_CILEndSession)(HANDLE);
typedef BOOL (*PFN_CILGetPrinterStatus)(HANDLE, LPDWORD, DWORD);
typedef BOOL (*PFN_CILSetPrinterData)(HANDLE, const BYTE*, DWORD, LPDWORD);
typedef BOOL (*PFN_CILGetPrinterData)(HANDLE, BYTE*, DWORD, LPDWORD);

QOR_END_C

#endif /* QORCIL_H */
