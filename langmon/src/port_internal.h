// Internal interface between the parts of QORLM2K.
#pragma once

#include "qorlm2k.h"

#include <string_view>

namespace qorlm {

inline constexpr DWORD kRequestJobId = 0xFFFFFFFF;
// The original asks for 16 KB of stack, which there is only the initial
// commit: the thread may still grow to the process's default reserve. Here
// the size argument is a hard limit, and 16 KB does not hold a spooler RPC
// (the spooler crashed on the first status report), so the threads take the
// default reserve that the original effectively had.
inline constexpr DWORD kPollingStack = 0;
inline constexpr DWORD kReadDoneWaitMs = 5000;

// The wake event is published and withdrawn by the polling thread while
// other threads signal it and wait for it to go.
inline std::atomic_ref<HANDLE> wake_event(QORMON_PORT* port) { return std::atomic_ref<HANDLE>(port->wake_event); }

// --- port_list.cpp: the process-wide list and its lock --------------------
void init_list_lock();
void enter_list();
void leave_list();

// Holds the port-list lock for a scope.
class ListLock {
public:
    ListLock() { enter_list(); }
    ~ListLock() { leave_list(); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
};

// The record behind a port handle, or null (last error ERROR_INVALID_HANDLE)
// when the handle is not a live record of this library.
QORMON_PORT* port_from_handle(HANDLE handle);
// List lock held by the caller for these two.
bool port_name_in_list(std::u16string_view name);
void append_port(QORMON_PORT* port);
// New zero-filled record with its name, printer copy and locks; null on failure.
QORMON_PORT* allocate_port(std::u16string_view port_name, LPCWSTR printer_name);
// Unlinks and frees a record if it is in the list (list lock taken here).
void remove_port(QORMON_PORT* port);
// A heap copy of a wide string (LocalAlloc), or null.
LPWSTR copy_wide(LPCWSTR text);

// --- port_lock.cpp ---------------------------------------------------------
void lock_port(QORMON_PORT* port);
void unlock_port(QORMON_PORT* port);
// Gives back one hold of the port lock if the calling thread has one.
void release_port_hold(QORMON_PORT* port);

// --- port_names.cpp ----------------------------------------------------------
bool same_text(LPCWSTR a, LPCWSTR b);               // exact
bool same_text_ignore_case(LPCWSTR a, std::u16string_view b);  // ASCII letters folded
bool is_file_port(LPCWSTR name);
bool is_serial_port(LPCWSTR name);
bool is_parallel_port(LPCWSTR name);

// --- underlying.cpp: starts and ends made on this library's own account ----
void set_port_timeouts(QORMON_PORT* port);
// Starts the underlying port with the library's own document; true on success.
bool start_port_for_request(QORMON_PORT* port);
// Clears port started and ends the underlying document (failures ignored).
void end_port(QORMON_PORT* port);

// --- spooler_calls.cpp: the printer handle, job bookkeeping, status --------
class PrinterUse {
public:
    explicit PrinterUse(QORMON_PORT* port);
    ~PrinterUse();
    PrinterUse(const PrinterUse&) = delete;
    PrinterUse& operator=(const PrinterUse&) = delete;
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
    bool fallback_ = false;
};
// Closes and forgets the stored printer handle.
void forget_printer(QORMON_PORT* port);
// Marks the current job last-page-ejected, cancels it and forgets its id.
void finish_job_in_queue(QORMON_PORT* port);
void report_status(QORMON_PORT* port, DWORD status);

// --- polling.cpp --------------------------------------------------------------
void start_polling_thread(QORMON_PORT* port);

}  // namespace qorlm
