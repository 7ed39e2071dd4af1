// The model module as the spooler sees it: a language monitor whose entries
// forward to QORLM2K, handing over the port monitor's table and this
// module's handle so that QORLM2K finds ParseStatusData and SetStatusRawData.
#include "idle_keeper.h"
#include "lm2k_entries.h"
#include "qor/guard.h"
#include "port_states.h"
#include "recovery.h"
#include "replies.h"
#include "requests.h"
#include "status_block_writer.h"

#include "qor/memory.h"
#include "qor/module.h"

#include <dlfcn.h>

using namespace qor::model;

namespace {

// The spooler loads monitors without the platform's loader, so the module
// handle is obtained by loading our own file through it once.
HMODULE own_module() {
    static HMODULE module = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&own_module), &info) || !info.dli_fname) return HMODULE(nullptr);
        return LoadLibraryA(info.dli_fname);
    }();
    return module;
}

BOOL open_port_ex(HANDLE monitor, HANDLE monitor_port, LPWSTR port_name, LPWSTR printer_name, PHANDLE port,
                  LPMONITOR2 port_monitor) {
    const Lm2kEntries* lm = lm2k();
    if (!lm) return FALSE;
    ensure_status_block();
    if (!lm->open_port(monitor, monitor_port, port_name, printer_name, port, port_monitor, own_module()))
        return FALSE;
    port_state(*port);
    keep_watched(*lm, *port);
    return TRUE;
}

BOOL start_doc_port(HANDLE port, LPWSTR printer_name, DWORD job_id, DWORD level, LPBYTE doc_info) {
    const Lm2kEntries* lm = lm2k();
    if (!lm || !lm->start_doc(port, printer_name, job_id, level, doc_info)) return FALSE;
    // Status changes during the job then reach the polling thread unasked.
    port_state(port)->set_status_back_due(true);
    return TRUE;
}

BOOL write_port(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD written) {
    const Lm2kEntries* lm = lm2k();
    if (!lm) return FALSE;
    if (count && port_state(port)->take_status_back_due()) enable_status_back(*lm, port);
    const BOOL ok = lm->write_port(port, buffer, count, written);
    // A port that cannot be written (the printer went away) is a printer
    // that does not answer; one that is only slow (time-out) still does.
    if (!ok && GetLastError() != ERROR_TIMEOUT) {
        const DWORD error = GetLastError();
        store_no_answer();
        SetLastError(error);
    }
    return ok;
}

BOOL read_port(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    const Lm2kEntries* lm = lm2k();
    return lm ? lm->read_port(port, buffer, size, read) : FALSE;
}

BOOL end_doc_port(HANDLE port) {
    const Lm2kEntries* lm = lm2k();
    return lm ? lm->end_doc(port) : FALSE;
}

BOOL close_port(HANDLE port) {
    const Lm2kEntries* lm = lm2k();
    if (!lm) return FALSE;
    stop_watching(port);
    const BOOL result = lm->close_port(port);
    forget_port(port);
    return result;
}

BOOL get_printer_data_from_port(HANDLE port, DWORD control_id, LPWSTR value_name, LPWSTR in_buffer, DWORD in_size,
                                LPWSTR out_buffer, DWORD out_size, LPDWORD returned) {
    const Lm2kEntries* lm = lm2k();
    if (!lm) return FALSE;
    if (control_id == 0 && is_cil_request(value_name))
        return answer_cil_request(*lm, port, value_name, out_buffer, out_size, returned);
    if (control_id == 0 && is_recovery_request(value_name))
        return answer_recovery_request(port_state(port)->take_status_back_due(), out_buffer, out_size, returned);
    return lm->get_printer_data(port, control_id, value_name, in_buffer, in_size, out_buffer, out_size, returned);
}

void shutdown(HANDLE monitor) {
    stop_watching_all();
    if (const Lm2kEntries* lm = lm2k()) lm->shutdown(monitor);
    release_status_block();
}

MONITOR2 g_table = [] {
    MONITOR2 table{};
    table.cbSize = sizeof table;
    table.pfnOpenPortEx = open_port_ex;
    table.pfnStartDocPort = start_doc_port;
    table.pfnWritePort = write_port;
    table.pfnReadPort = read_port;
    table.pfnEndDocPort = end_doc_port;
    table.pfnClosePort = close_port;
    table.pfnGetPrinterDataFromPort = get_printer_data_from_port;
    table.pfnShutdown = shutdown;
    return table;
}();

}  // namespace

extern "C" {

QORAPI LPMONITOR2 InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
    return qor::guarded(static_cast<LPMONITOR2>(nullptr), [&]() -> LPMONITOR2 {
        if (!monitor) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (!lm2k()) return nullptr;
        // QORLM2K's shut-down frees the monitor handle as a global block.
        *monitor = GlobalAlloc(GPTR, sizeof(DWORD));
        if (!*monitor) return nullptr;
        ensure_status_block();
        return &g_table;
    });
}

// Reply bytes from the printer: replies to our own status query are kept
// for it, everything else is queued in the Reply block for QORCIL.
QORAPI BOOL SetStatusRawData(HANDLE port, LPBYTE buffer, LPDWORD count) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!buffer || !count) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        deliver_reply_bytes(port, buffer, *count);
        return TRUE;
    });
}

QORAPI BOOL ParseStatusData(HANDLE port, LPBYTE buffer, DWORD count, LPDWORD status) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!buffer || !status) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return parse_reply_status(port, buffer, count, status) ? TRUE : FALSE;
    });
}

QORAPI BOOL SendFirstCommand(HANDLE port) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const Lm2kEntries* lm = lm2k();
        return lm && enable_status_back(*lm, port);
    });
}

}  // extern "C"
