// Port sessions: open, job start, write, read, job end, close and the
// library's set-up and shut-down entries.
#include "port_internal.h"
#include "qor/guard.h"

#include "qor/memory.h"
#include "qor/module.h"
#include "qor/spooler.h"
#include "qor/sysinfo.h"

#include <cstring>

using namespace qorlm;

namespace {

HMODULE g_module = nullptr;

template <class Entry>
Entry model_entry(HMODULE module, const char* name) {
    // Through void(*)(), the generic function pointer, to the real type.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The document-info mode word (fourth field of level 2) asks for the
// first-write bookkeeping; level 1 is not read past its third field.
bool wants_first_write_mark(DWORD level, LPBYTE doc_info) {
    if (level == 1) return true;
    if (level != 2 || !doc_info) return false;
    const DWORD mode = reinterpret_cast<const DOC_INFO_2W*>(doc_info)->dwMode;
    return mode == 1 || mode == 2;
}

void replace_printer_name(QORMON_PORT* port, LPWSTR printer_name) {
    if (same_text(port->printer_name, printer_name)) return;
    ListLock lock;
    LPWSTR copy = copy_wide(printer_name);
    if (!copy) return;  // keep the old name rather than none
    LocalFree(port->printer_name);
    port->printer_name = copy;
    forget_printer(port);
}

}  // namespace

extern "C" {

QORAPI BOOL DllEntryPoint(HANDLE module, DWORD reason, LPVOID) {
    if (reason == 1) g_module = module;  // process attach
    return TRUE;
}

QORAPI void QORMonInitCriticalSection(void) { init_list_lock(); }

QORAPI BOOL QORMonOpenPortEx(HANDLE, HANDLE monitor_port, LPWSTR port_name, LPWSTR printer_name, PHANDLE out_port,
                             LPMONITOR2 port_monitor, HMODULE model_module) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!port_name || !out_port || !port_monitor || !port_monitor->pfnOpenPort) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        ListLock lock;
        const std::u16string_view name(port_name);
        if (port_name_in_list(name)) {
            SetLastError(ERROR_BUSY);
            return FALSE;
        }
        QORMON_PORT* port = allocate_port(name, printer_name);
        if (!port) return FALSE;
        append_port(port);
        qormon_set(port, QORMON_POLLING_ENABLED);
        if (model_module) {
            port->model_module = model_module;
            port->parse_status = model_entry<PFN_ParseStatusData>(model_module, "ParseStatusData");
            port->raw_data_sink = model_entry<PFN_SetStatusRawData>(model_module, "SetStatusRawData");
        }
        // The whole table is copied before the port is used, so that a monitor
        // calling back during its own open finds the entries in place.
        std::memcpy(&port->monitor, port_monitor, sizeof(MONITOR2));
        if (!port_monitor->pfnOpenPort(monitor_port, port_name, &port->underlying_port)) {
            // Unlisted again: a record left behind would make every later open
            // of this port fail as busy.
            const DWORD error = GetLastError();
            remove_port(port);
            SetLastError(error);
            return FALSE;
        }
        *out_port = port;
        return TRUE;
    });
}

QORAPI BOOL QORMonStartDocPort(HANDLE handle, LPWSTR printer_name, DWORD job_id, DWORD level, LPBYTE doc_info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return FALSE;
        if (qormon_flags(port).fetch_or(QORMON_JOB_ACTIVE) & QORMON_JOB_ACTIVE) {
            SetLastError(ERROR_BUSY);
            return FALSE;
        }
        lock_port(port);
        if (qormon_has(port, QORMON_PORT_STARTED)) {
            // A serial port keeps its document between jobs; any other port is
            // ended and started again with this job's document.
            if (!is_serial_port(port->port_name)) end_port(port);
            WaitForSingleObject(port->read_done_event, kReadDoneWaitMs);
        }
        if (!qormon_has(port, QORMON_PORT_STARTED)) {
            if (!port->monitor.pfnStartDocPort ||
                !port->monitor.pfnStartDocPort(port->underlying_port, printer_name, job_id, level, doc_info)) {
                qormon_clear(port, QORMON_JOB_ACTIVE | QORMON_POLLING_RUN);
                unlock_port(port);
                return FALSE;
            }
            qormon_set(port, QORMON_PORT_STARTED);
            set_port_timeouts(port);
        }
        replace_printer_name(port, printer_name);
        qormon_set(port, QORMON_POLLING_ENABLED);
        if (wants_first_write_mark(level, doc_info)) qormon_set(port, QORMON_FIRST_WRITE_PENDING);
        if (!qormon_has(port, QORMON_POLLING_RUN | QORMON_HELD_BY_MODEL | QORMON_THREAD_ALIVE))
            start_polling_thread(port);
        qormon_clear(port, QORMON_DATA_SENT | QORMON_CONTROL7_MARK);
        port->job_id = job_id;
        unlock_port(port);
        return TRUE;
    });
}

QORAPI BOOL QORMonWritePort(HANDLE handle, LPBYTE buffer, DWORD count, LPDWORD written) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const DWORD caller_error = GetLastError();
        QORMON_PORT* port = port_from_handle(handle);
        if (!port || !written) return FALSE;
        lock_port(port);
        if (!qormon_has(port, QORMON_PORT_STARTED)) {
            *written = 0;
            unlock_port(port);
            return FALSE;
        }
        if (qormon_flags(port).fetch_and(~DWORD(QORMON_FIRST_WRITE_PENDING)) & QORMON_FIRST_WRITE_PENDING)
            qormon_set(port, QORMON_DATA_SENT);
        // After a cancel the spooler still pushes the rest of a large job; it is
        // swallowed here instead of being sent to a printer that should stop.
        if (count > 4096 && caller_error == ERROR_PRINT_CANCELLED) {
            *written = 0;
            unlock_port(port);
            SetLastError(caller_error);
            return TRUE;
        }
        // The lock covers the bookkeeping, not the transfer: a printer that stops
        // taking data (paper out, cover open) would otherwise hold the lock for
        // the whole write time-out and starve the polls that report why.
        unlock_port(port);
        return port->monitor.pfnWritePort ? port->monitor.pfnWritePort(port->underlying_port, buffer, count, written)
                                          : FALSE;
    });
}

QORAPI BOOL QORMonReadPort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD read) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port || !read) return FALSE;
        if (!qormon_has(port, QORMON_PORT_STARTED) || !port->monitor.pfnReadPort) {
            *read = 0;
            release_port_hold(port);
            return FALSE;
        }
        return port->monitor.pfnReadPort(port->underlying_port, buffer, size, read);
    });
}

QORAPI BOOL QORMonEndDocPort(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return TRUE;
        lock_port(port);
        {
            ListLock lock;
            if (qormon_has(port, QORMON_DATA_SENT)) {
                if (qormon_has(port, QORMON_HELD_BY_MODEL) && std::atomic_ref<DWORD>(port->document_holds).load() == 0)
                    end_port(port);
                qormon_clear(port, QORMON_HELD_BY_MODEL);
            } else {
                // An empty job: nothing will follow, so the document ends now.
                finish_job_in_queue(port);
                end_port(port);
            }
            qormon_clear(port, QORMON_JOB_ACTIVE);
            if (qormon_has(port, QORMON_POLLING_ENABLED))
                if (HANDLE wake = wake_event(port).load()) SetEvent(wake);
        }
        if (port->job_id) finish_job_in_queue(port);
        unlock_port(port);
        return TRUE;
    });
}

QORAPI BOOL QORMonClosePort(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return TRUE;
        if (qormon_has(port, QORMON_THREAD_ALIVE)) {
            // The end is made under the port lock so that it never overlaps a
            // poll's read; the lock is given back before waiting for the thread,
            // which needs it to exit.
            lock_port(port);
            // A job the spooler never ended would keep the thread polling and
            // this wait would never return.
            qormon_clear(port, QORMON_POLLING_RUN | QORMON_JOB_ACTIVE);
            if (qormon_has(port, QORMON_PORT_STARTED)) end_port(port);
            unlock_port(port);
            if (HANDLE wake = wake_event(port).load()) SetEvent(wake);
        }
        // The thread gives its wake event back last: also one already on its
        // way out (no longer marked alive) is waited for, so that the
        // underlying port is never closed under its end of the document.
        while (wake_event(port).load()) Sleep(QORMON_POLL_WAIT_MS);
        if (port->monitor.pfnClosePort) port->monitor.pfnClosePort(port->underlying_port);
        remove_port(port);
        return TRUE;
    });
}

QORAPI HANDLE QORMonShutdown(HANDLE monitor) { return GlobalFree(monitor); }

}  // extern "C"
