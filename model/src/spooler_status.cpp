#include "spooler_status.h"

#include "qorlm2k.h"

#include "qor/spooler.h"

namespace qor::model {

void report_to_spooler(HANDLE port, DWORD status) {
    auto* record = static_cast<QORMON_PORT*>(port);
    if (!record || !record->printer_name) return;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(record->printer_name, &printer, nullptr)) return;
    // The status travels in the data-pointer argument for this command.
    SetPrinterW(printer, 0, reinterpret_cast<LPBYTE>(static_cast<ULONG_PTR>(status)), PRINTER_CONTROL_SET_STATUS);
    ClosePrinter(printer);
}

void report_no_answer_to_spooler(HANDLE port, DWORD last_status) {
    report_to_spooler(port, last_status | PRINTER_STATUS_NOT_AVAILABLE);
}

}  // namespace qor::model
