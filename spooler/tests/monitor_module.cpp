// A language monitor module for the tests: passes jobs to the port monitor,
// reports each job printed from inside EndDocPort through the client API (as
// the suite's language monitor does), and answers the printer-data request
// "TEST_Request" with 0x12345678. While $QOR_ROOT/lm-silent exists it
// reports nothing, as a monitor whose printer never confirms.
#include "qor/monitor.h"
#include "qor/spooler.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

struct Port {
    MONITOR2 ports;
    HANDLE underlying = nullptr;
    std::u16string printer;
    DWORD job = 0;
};

BOOL open_port_ex(HANDLE, HANDLE port_monitor, LPWSTR port, LPWSTR printer, PHANDLE out, MONITOR2* table) {
    auto* p = new Port{*table, nullptr, printer, 0};
    if (!table->pfnOpenPort(port_monitor, port, &p->underlying)) {
        delete p;
        return FALSE;
    }
    *out = p;
    return TRUE;
}

BOOL start_doc(HANDLE h, LPWSTR printer, DWORD job, DWORD level, LPBYTE info) {
    auto* p = static_cast<Port*>(h);
    p->job = job;
    return p->ports.pfnStartDocPort(p->underlying, printer, job, level, info);
}

BOOL write_port(HANDLE h, LPBYTE data, DWORD size, LPDWORD written) {
    auto* p = static_cast<Port*>(h);
    return p->ports.pfnWritePort(p->underlying, data, size, written);
}

BOOL read_port(HANDLE h, LPBYTE data, DWORD size, LPDWORD got) {
    auto* p = static_cast<Port*>(h);
    return p->ports.pfnReadPort(p->underlying, data, size, got);
}

BOOL end_doc(HANDLE h) {
    auto* p = static_cast<Port*>(h);
    p->ports.pfnEndDocPort(p->underlying);
    const char* root = std::getenv("QOR_ROOT");
    if (root && access((std::string(root) + "/lm-silent").c_str(), F_OK) == 0) return TRUE;
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterW(p->printer.data(), &printer, &defaults)) {
        SetJobW(printer, p->job, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
        SetJobW(printer, p->job, 0, nullptr, JOB_CONTROL_CANCEL);
        ClosePrinter(printer);
    }
    return TRUE;
}

BOOL close_port(HANDLE h) {
    auto* p = static_cast<Port*>(h);
    p->ports.pfnClosePort(p->underlying);
    delete p;
    return TRUE;
}

BOOL get_data(HANDLE h, DWORD control, LPWSTR name, LPWSTR in, DWORD in_size, LPWSTR out, DWORD out_size,
              LPDWORD returned) {
    auto* p = static_cast<Port*>(h);
    if (control != 0)
        return p->ports.pfnGetPrinterDataFromPort(p->underlying, control, name, in, in_size, out, out_size, returned);
    if (name && std::u16string(name) == u"TEST_Request" && out_size >= 4) {
        DWORD answer = 0x12345678;
        std::memcpy(out, &answer, 4);
        *returned = 4;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL set_timeouts(HANDLE h, LPCOMMTIMEOUTS t, DWORD reserved) {
    auto* p = static_cast<Port*>(h);
    return p->ports.pfnSetPortTimeOuts(p->underlying, t, reserved);
}

MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof t;
    t.pfnOpenPortEx = open_port_ex;
    t.pfnStartDocPort = start_doc;
    t.pfnWritePort = write_port;
    t.pfnReadPort = read_port;
    t.pfnEndDocPort = end_doc;
    t.pfnClosePort = close_port;
    t.pfnGetPrinterDataFromPort = get_data;
    t.pfnSetPortTimeOuts = set_timeouts;
    return t;
}();

}  // namespace

extern "C" QORAPI LPMONITOR2 InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
    *monitor = &table;
    return &table;
}
