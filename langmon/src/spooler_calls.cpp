// Calls into the spooler: the printer handle and its open rule, the job
// bookkeeping at document end, and reporting the printer status. Failures of
// these calls are ignored; the next job or poll tries again.
#include "port_internal.h"

#include "qor/memory.h"
#include "qor/spooler.h"
#include "qor/sysinfo.h"

#include <memory>

namespace qorlm {

namespace {

// Opens a printer first with full access, else with no defaults.
HANDLE open_printer(LPWSTR name, bool* fallback) {
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    *fallback = false;
    if (OpenPrinterW(name, &handle, &defaults)) return handle;
    handle = nullptr;
    if (OpenPrinterW(name, &handle, nullptr)) {
        *fallback = true;
        return handle;
    }
    return nullptr;
}

void set_printer_status(HANDLE printer, DWORD status) {
    // The status travels in the data-pointer argument for this command.
    SetPrinterW(printer, 0, reinterpret_cast<LPBYTE>(static_cast<ULONG_PTR>(status)), PRINTER_CONTROL_SET_STATUS);
}

bool consumer_platform_4_0() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
           version.dwMajorVersion == 4 && version.dwMinorVersion == 0;
}

struct StatusReport {
    LPWSTR printer_name;
    DWORD status;
};

DWORD status_thread(LPVOID parameter) {
    std::unique_ptr<StatusReport> report(static_cast<StatusReport*>(parameter));
    bool fallback = false;
    if (HANDLE printer = open_printer(report->printer_name, &fallback)) {
        set_printer_status(printer, report->status);
        ClosePrinter(printer);
    }
    LocalFree(report->printer_name);
    return 0;
}

void report_on_own_thread(QORMON_PORT* port, DWORD status) {
    auto report = std::make_unique<StatusReport>(StatusReport{copy_wide(port->printer_name), status});
    if (!report->printer_name) return;
    HANDLE thread = CreateThread(nullptr, kPollingStack, status_thread, report.get(), CREATE_SUSPENDED, nullptr);
    if (!thread) {
        LocalFree(report->printer_name);
        return;
    }
    report.release();
    SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    ResumeThread(thread);
    CloseHandle(thread);
}

}  // namespace

PrinterUse::PrinterUse(QORMON_PORT* port) {
    const DWORD error = GetLastError();
    handle_ = port->printer;
    if (!handle_) {
        handle_ = open_printer(port->printer_name, &fallback_);
        if (handle_ && !fallback_) port->printer = handle_;
    }
    SetLastError(error);
}

PrinterUse::~PrinterUse() {
    const DWORD error = GetLastError();
    if (fallback_ && handle_) ClosePrinter(handle_);
    SetLastError(error);
}

void forget_printer(QORMON_PORT* port) {
    if (HANDLE printer = port->printer) {
        port->printer = nullptr;
        ClosePrinter(printer);
    }
}

void finish_job_in_queue(QORMON_PORT* port) {
    PrinterUse printer(port);
    SetJobW(printer.handle(), port->job_id, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
    SetJobW(printer.handle(), port->job_id, 0, nullptr, JOB_CONTROL_CANCEL);
    port->job_id = 0;
}

void report_status(QORMON_PORT* port, DWORD status) {
    if (consumer_platform_4_0()) {
        report_on_own_thread(port, status);
        return;
    }
    PrinterUse printer(port);
    set_printer_status(printer.handle(), status);
}

}  // namespace qorlm
