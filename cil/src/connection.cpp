#include "connection.h"

#include "spooler_calls.h"
#include "status_reads.h"

#include "common/blocks_shared.h"
#include "common/status.h"
#include "qorcil.h"

#include "qor/spooler.h"

#include <cstring>
#include <utility>

namespace qor::cil {

namespace {

constexpr DWORD kAfterCheckPauseMs = 50;

}  // namespace

Connection::~Connection() {
    if (!owner_) return;
    disconnect(library_);
    std::lock_guard lock(library_.mutex);
    library_.connected = false;
}

DWORD Connection::connect() {
    std::string name;
    {
        std::lock_guard lock(library_.mutex);
        if (library_.printer || library_.connected) return QORCIL_E_BUSY_HERE;
        if (!library_.printer_name) return QORCIL_E_NULL_NAME;
        name = *library_.printer_name;
        library_.connected = true;
        owner_ = true;
    }
    HANDLE printer = nullptr;
    char raw[] = "RAW";
    PRINTER_DEFAULTSA defaults{raw, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(name.data(), &printer, &defaults)) {
        const DWORD error = GetLastError();
        return error ? error : DWORD(ERROR_INVALID_PRINTER_NAME);
    }
    if (!printer) return QORCIL_E_EMPTY_HANDLE;
    {
        std::lock_guard lock(library_.mutex);
        library_.printer = library_.requests = printer;
    }
    requests_ = printer;

    const std::vector<BYTE> record = printer_record(printer, 2);
    if (record.size() >= sizeof(PRINTER_INFO_2A)) {
        PRINTER_INFO_2A info;
        std::memcpy(&info, record.data(), sizeof info);
        if (info.Attributes & PRINTER_ATTRIBUTE_DIRECT) return QORCIL_E_DIRECT_PRINTING;
    }
    if (DWORD error = send_request(printer, names::kRequestStartDocPort)) return error;
    if (DWORD error = send_request(printer, names::kRequestCheckConnection)) return error;
    const auto block = read_status_block(library_);
    if (!block || (block->control & status::kControlNoConnection)) return QORCIL_E_NO_ANSWER;
    Sleep(kAfterCheckPauseMs);
    if (blocks::probe_status_block() == blocks::Presence::Missing) send_request(printer, names::kRequestDummy);
    if (library_.is_windows_98())
        if (DWORD error = fix_not_selected_timeout(printer)) return error;
    return 0;
}

void disconnect(Library& library) {
    HANDLE printer = nullptr, requests = nullptr;
    {
        std::lock_guard lock(library.mutex);
        printer = std::exchange(library.printer, nullptr);
        requests = std::exchange(library.requests, nullptr);
    }
    if (requests) send_request(requests, names::kRequestEndDocPort);
    if (printer) ClosePrinter(printer);
}

}  // namespace qor::cil
