// QORLM2K as the model module sees it: the port record behind every port
// handle, its flags, the exports and the entries looked up in the model
// module. The record is shared: the model module reads it and sets the
// flags reserved to it, always through qormon_flags().
#pragma once

#include "qor/monitor.h"

#include <atomic>

QOR_BEGIN_C

#define QORMON_PORT_SIGNATURE 0x4F50

// Port-record flags.
#define QORMON_JOB_ACTIVE 0x00000001
#define QORMON_POLLING_RUN 0x00000002
#define QORMON_THREAD_ALIVE 0x00000004
#define QORMON_DATA_SENT 0x00000010
#define QORMON_FIRST_WRITE_PENDING 0x00000020
#define QORMON_PORT_STARTED 0x00000040
#define QORMON_POLLING_ENABLED 0x00000080
#define QORMON_CONTROL7_MARK 0x00000200
#define QORMON_KEEP_POLLING_A 0x00100000       // set only by the model module
#define QORMON_FREE_ON_THREAD_EXIT 0x01000000  // set only by the model module
#define QORMON_HELD_BY_MODEL 0x20000000        // set only by the model module
#define QORMON_REPLY_WAIT 0x40000000           // set only by the model module
#define QORMON_KEEP_POLLING_B 0x80000000       // set only by the model module

// ReadCommand options; the polling thread passes all three.
#define QORMON_READ_PARSE 0x00000002
#define QORMON_READ_REPORT 0x00000004
#define QORMON_READ_POLL 0x00000007

#define QORMON_POLL_WAIT_MS 500
#define QORMON_READ_CHUNK 1023
#define QORMON_REPLY_WAIT_MS 200

// Entries of the model module, looked up by name at open.
typedef BOOL (*PFN_ParseStatusData)(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD status);
typedef BOOL (*PFN_SetStatusRawData)(HANDLE port, LPBYTE buffer, LPDWORD count);

typedef struct _QORMON_PORT {
    DWORD signature;
    DWORD size;
    struct _QORMON_PORT* next;
    LPWSTR port_name;
    DWORD flags;
    LPWSTR printer_name;
    DWORD job_id;
    HANDLE underlying_port;
    HANDLE printer;
    HANDLE wake_event;
    HANDLE read_done_event;
    MONITOR2 monitor;
    HMODULE model_module;
    PFN_ParseStatusData parse_status;
    PFN_SetStatusRawData raw_data_sink;
    HANDLE port_lock;
    HANDLE status_cycle_lock;
    DWORD poll_wait;
    DWORD document_holds;
    WORD ieee1284_read_mask;
    WORD ieee1284_write_mask;
    DWORD mode_not_queried;
    WCHAR port_name_text[1];
} QORMON_PORT, *PQORMON_PORT;

QORAPI void QORMonInitCriticalSection(void);
QORAPI BOOL QORMonOpenPortEx(HANDLE monitor, HANDLE monitor_port, LPWSTR port_name, LPWSTR printer_name,
                             PHANDLE port, LPMONITOR2 port_monitor, HMODULE model_module);
QORAPI BOOL QORMonStartDocPort(HANDLE port, LPWSTR printer_name, DWORD job_id, DWORD level, LPBYTE doc_info);
QORAPI BOOL QORMonWritePort(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD written);
QORAPI BOOL QORMonReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
QORAPI BOOL QORMonEndDocPort(HANDLE port);
QORAPI BOOL QORMonClosePort(HANDLE port);
QORAPI BOOL QORMonGetPrinterDataFromPort(HANDLE port, DWORD control_id, LPWSTR value_name, LPWSTR in_buffer,
                                         DWORD in_size, LPWSTR out_buffer, DWORD out_size, LPDWORD returned);
// Frees the monitor handle (a global block) and returns what GlobalFree
// returns: null on success.
QORAPI HANDLE QORMonShutdown(HANDLE monitor);
QORAPI BOOL WriteCommand(HANDLE port, LPBYTE buffer, DWORD count, DWORD direct, LPDWORD written);
QORAPI DWORD ReadCommand(HANDLE port, DWORD options);
QORAPI BOOL CheckConnectComPort(HANDLE port);
QORAPI BOOL ComBreak(HANDLE port, DWORD milliseconds);

typedef void (*PFN_QORMonInitCriticalSection)(void);
typedef BOOL (*PFN_QORMonOpenPortEx)(HANDLE, HANDLE, LPWSTR, LPWSTR, PHANDLE, LPMONITOR2, HMODULE);
typedef BOOL (*PFN_QORMonStartDocPort)(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE);
typedef BOOL (*PFN_QORMonWritePort)(HANDLE, LPBYTE, DWORD, LPDWORD);
typedef BOOL (*PFN_QORMonReadPort)(HANDLE, LPBYTE, DWORD, LPDWORD);
typedef BOOL (*PFN_QORMonEndDocPort)(HANDLE);
typedef BOOL (*PFN_QORMonClosePort)(HANDLE);
typedef BOOL (*PFN_QORMonGetPrinterDataFromPort)(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD);
typedef HANDLE (*PFN_QORMonShutdown)(HANDLE);
typedef BOOL (*PFN_WriteCommand)(HANDLE, LPBYTE, DWORD, DWORD, LPDWORD);
typedef DWORD (*PFN_ReadCommand)(HANDLE, DWORD);
typedef BOOL (*PFN_CheckConnectComPort)(HANDLE);
typedef BOOL (*PFN_ComBreak)(HANDLE, DWORD);

QOR_END_C

// Flags are changed by several threads; every access is atomic so that no
// update is lost between them.
inline std::atomic_ref<DWORD> qormon_flags(QORMON_PORT* port) { return std::atomic_ref<DWORD>(port->flags); }
inline bool qormon_has(QORMON_PORT* port, DWORD bits) { return (qormon_flags(port).load() & bits) != 0; }
inline void qormon_set(QORMON_PORT* port, DWORD bits) { qormon_flags(port).fetch_or(bits); }
inline void qormon_clear(QORMON_PORT* port, DWORD bits) { qormon_flags(port).fetch_and(~bits); }

static_assert(offsetof(QORMON_PORT, signature) == 0);
static_assert(offsetof(QORMON_PORT, size) == 4);
static_assert(offsetof(QORMON_PORT, next) < offsetof(QORMON_PORT, port_name));
static_assert(offsetof(QORMON_PORT, port_name) < offsetof(QORMON_PORT, flags));
static_assert(offsetof(QORMON_PORT, flags) < offsetof(QORMON_PORT, printer_name));
static_assert(offsetof(QORMON_PORT, printer_name) < offsetof(QORMON_PORT, job_id));
static_assert(offsetof(QORMON_PORT, job_id) < offsetof(QORMON_PORT, underlying_port));
static_assert(offsetof(QORMON_PORT, underlying_port) < offsetof(QORMON_PORT, printer));
static_assert(offsetof(QORMON_PORT, printer) < offsetof(QORMON_PORT, wake_event));
static_assert(offsetof(QORMON_PORT, wake_event) < offsetof(QORMON_PORT, read_done_event));
static_assert(offsetof(QORMON_PORT, read_done_event) < offsetof(QORMON_PORT, monitor));
static_assert(offsetof(QORMON_PORT, monitor) < offsetof(QORMON_PORT, model_module));
static_assert(offsetof(QORMON_PORT, model_module) < offsetof(QORMON_PORT, parse_status));
static_assert(offsetof(QORMON_PORT, parse_status) < offsetof(QORMON_PORT, raw_data_sink));
static_assert(offsetof(QORMON_PORT, raw_data_sink) < offsetof(QORMON_PORT, port_lock));
static_assert(offsetof(QORMON_PORT, port_lock) < offsetof(QORMON_PORT, status_cycle_lock));
static_assert(offsetof(QORMON_PORT, status_cycle_lock) < offsetof(QORMON_PORT, poll_wait));
static_assert(offsetof(QORMON_PORT, poll_wait) < offsetof(QORMON_PORT, document_holds));
static_assert(offsetof(QORMON_PORT, document_holds) < offsetof(QORMON_PORT, ieee1284_read_mask));
static_assert(offsetof(QORMON_PORT, ieee1284_read_mask) + 2 == offsetof(QORMON_PORT, ieee1284_write_mask));
static_assert(offsetof(QORMON_PORT, ieee1284_write_mask) < offsetof(QORMON_PORT, mode_not_queried));
static_assert(offsetof(QORMON_PORT, mode_not_queried) < offsetof(QORMON_PORT, port_name_text));
static_assert(sizeof(MONITOR2) == 19 * sizeof(void*));
