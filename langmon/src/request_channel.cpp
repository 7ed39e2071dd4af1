// The request channel: printer-data requests served by the library itself,
// pass-through control codes, and the command exports the model module uses
// to talk to the printer.
#include "port_internal.h"
#include "qor/guard.h"

#include "qor/sysinfo.h"

using namespace qorlm;

namespace {

BOOL pass_through(QORMON_PORT* port, DWORD control_id, LPWSTR value_name, LPWSTR in_buffer, DWORD in_size,
                  LPWSTR out_buffer, DWORD out_size, LPDWORD returned) {
    if (!port->monitor.pfnGetPrinterDataFromPort) return FALSE;
    return port->monitor.pfnGetPrinterDataFromPort(port->underlying_port, control_id, value_name, in_buffer,
                                                   in_size, out_buffer, out_size, returned);
}

BOOL control(QORMON_PORT* port, DWORD control_id, void* in, DWORD in_size, void* out, DWORD out_size,
             DWORD* returned) {
    return pass_through(port, control_id, nullptr, static_cast<LPWSTR>(in), in_size, static_cast<LPWSTR>(out),
                        out_size, returned);
}

// Leaves any negotiated IEEE 1284 mode and negotiates the stored masks again,
// reading the masks from the port the first time they are needed.
void renegotiate_parallel_mode(QORMON_PORT* port) {
    WORD masks[2] = {0, 0};
    DWORD returned = 0;
    if (port->mode_not_queried &&
        control(port, IOCTL_IEEE1284_GET_MODE, nullptr, 0, masks, sizeof masks, &returned)) {
        port->ieee1284_read_mask = masks[0];
        port->ieee1284_write_mask = masks[1];
        port->mode_not_queried = 0;
    }
    WORD none[2] = {0, 0};
    WORD out[2] = {0, 0};
    control(port, IOCTL_IEEE1284_NEGOTIATE, none, sizeof none, out, sizeof out, &returned);
    WORD stored[2] = {port->ieee1284_read_mask, port->ieee1284_write_mask};
    control(port, IOCTL_IEEE1284_NEGOTIATE, stored, sizeof stored, out, sizeof out, &returned);
}

void read_device_id(QORMON_PORT* port, LPWSTR in_buffer, DWORD in_size, LPWSTR out_buffer, DWORD out_size,
                    LPDWORD returned) {
    if (is_file_port(port->port_name)) return;
    bool started_here = false;
    if (!qormon_has(port, QORMON_PORT_STARTED)) {
        if (!start_port_for_request(port)) return;
        started_here = true;
    }
    if (is_parallel_port(port->port_name)) renegotiate_parallel_mode(port);
    pass_through(port, IOCTL_PAR_QUERY_DEVICE_ID, nullptr, in_buffer, in_size, out_buffer, out_size, returned);
    if (started_here) end_port(port);
}

void hold_document(QORMON_PORT* port) {
    std::atomic_ref<DWORD>(port->document_holds).fetch_add(1);
    if (!qormon_has(port, QORMON_PORT_STARTED)) start_port_for_request(port);
}

void return_document_hold(QORMON_PORT* port) {
    std::atomic_ref<DWORD> holds(port->document_holds);
    if (holds.load() > 0) holds.fetch_sub(1);
    if (holds.load() == 0 && qormon_has(port, QORMON_PORT_STARTED) &&
        !qormon_has(port, QORMON_POLLING_RUN | QORMON_HELD_BY_MODEL))
        end_port(port);
}

BOOL serve_request(QORMON_PORT* port, LPWSTR value_name, LPWSTR in_buffer, DWORD in_size, LPWSTR out_buffer,
                   DWORD out_size, LPDWORD returned) {
    if (same_text_ignore_case(value_name, u"Get DeviceID")) {
        read_device_id(port, in_buffer, in_size, out_buffer, out_size, returned);
        return TRUE;
    }
    if (same_text_ignore_case(value_name, u"StartDocPort")) {
        hold_document(port);
        return TRUE;
    }
    if (same_text_ignore_case(value_name, u"EndDocPort")) {
        return_document_hold(port);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

extern "C" {

QORAPI BOOL QORMonGetPrinterDataFromPort(HANDLE handle, DWORD control_id, LPWSTR value_name, LPWSTR in_buffer,
                                         DWORD in_size, LPWSTR out_buffer, DWORD out_size, LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return FALSE;
        lock_port(port);
        BOOL result;
        if (control_id != 0) {
            if (control_id == 7) qormon_set(port, QORMON_CONTROL7_MARK);
            result = pass_through(port, control_id, value_name, in_buffer, in_size, out_buffer, out_size, returned);
        } else {
            result = serve_request(port, value_name, in_buffer, in_size, out_buffer, out_size, returned);
        }
        const DWORD error = GetLastError();
        unlock_port(port);
        SetLastError(error);
        return result;
    });
}

QORAPI BOOL WriteCommand(HANDLE handle, LPBYTE buffer, DWORD count, DWORD direct, LPDWORD written) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port || !written) return FALSE;
        if (!qormon_has(port, QORMON_PORT_STARTED)) {
            release_port_hold(port);
            return FALSE;
        }
        *written = 0;
        if (direct) {
            if (port->monitor.pfnWritePort) port->monitor.pfnWritePort(port->underlying_port, buffer, count, written);
        } else {
            QORMonWritePort(port, buffer, count, written);
        }
        if (*written == 0)
            if (HANDLE wake = wake_event(port).load()) SetEvent(wake);
        release_port_hold(port);
        return *written == count;
    });
}

QORAPI BOOL CheckConnectComPort(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return FALSE;
        DWORD modem_status = 0;
        DWORD returned = 0;
        if (!control(port, IOCTL_SERIAL_GET_MODEMSTATUS, nullptr, 0, &modem_status, sizeof modem_status, &returned))
            return FALSE;
        return (modem_status & MS_CTS_ON) ? TRUE : FALSE;
    });
}

QORAPI BOOL ComBreak(HANDLE handle, DWORD milliseconds) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return FALSE;
        DWORD returned = 0;
        if (!control(port, IOCTL_SERIAL_SET_BREAK_ON, nullptr, 0, nullptr, 0, &returned)) return FALSE;
        Sleep(milliseconds);
        return control(port, IOCTL_SERIAL_SET_BREAK_OFF, nullptr, 0, nullptr, 0, &returned);
    });
}

}  // extern "C"
