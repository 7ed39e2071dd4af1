#include "spooler_calls.h"

#include "status_reads.h"

#include "common/status.h"
#include "qor/spooler.h"

#include <cstring>

namespace qor::cil {

namespace {

constexpr char kDriverPrefix[] = "QOR ZEM";
constexpr size_t kNameCharsCompared = 4;

}  // namespace

bool printer_matches(const char* name) {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return false;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& printer = printers[i];
        if (!printer.pDriverName || !printer.pPrinterName) continue;
        if (std::strncmp(printer.pDriverName, kDriverPrefix, sizeof kDriverPrefix - 1) != 0) continue;
        if (std::strncmp(printer.pPrinterName, name, kNameCharsCompared) == 0) return true;
    }
    return false;
}

std::vector<BYTE> printer_record(HANDLE printer, DWORD level) {
    DWORD needed = 0;
    GetPrinterA(printer, level, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::vector<BYTE> record(needed);
    if (!GetPrinterA(printer, level, record.data(), needed, &needed)) return {};
    return record;
}

DWORD send_request(HANDLE printer, const char* name, DWORD* answer, DWORD* returned) {
    DWORD word = 0, type = 0, needed = 0;
    const DWORD result = GetPrinterDataA(printer, const_cast<LPSTR>(name), &type, reinterpret_cast<LPBYTE>(&word),
                                         sizeof word, &needed);
    if (answer) *answer = word;
    if (returned) *returned = needed;
    return result;
}

std::optional<DWORD> access_state(Library& library, HANDLE printer) {
    if (const auto block = read_status_block(library); block && (block->status & status::kPrinting))
        return kAccessRefused | kAccessPrinting;
    const std::vector<BYTE> record = printer_record(printer, 2);
    if (record.size() < sizeof(PRINTER_INFO_2A)) return std::nullopt;
    PRINTER_INFO_2A info;
    std::memcpy(&info, record.data(), sizeof info);
    DWORD state = 0;
    if (!(info.Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI)) state |= kAccessNoBidi;
    if (info.Attributes & PRINTER_ATTRIBUTE_DIRECT) state |= kAccessDirect;
    if (info.Attributes & PRINTER_ATTRIBUTE_NETWORK) state |= kAccessNetwork;
    state |= (state & (kAccessNoBidi | kAccessDirect | kAccessNetwork)) ? kAccessRefused : kAccessUsable;
    if (info.Attributes & PRINTER_ATTRIBUTE_LOCAL) state |= kAccessLocal;
    return state;
}

DWORD fix_not_selected_timeout(HANDLE printer) {
    constexpr DWORD kTimeoutMs = 1000;
    std::vector<BYTE> record = printer_record(printer, 5);
    if (record.size() < sizeof(PRINTER_INFO_5A)) {
        const DWORD error = GetLastError();
        return error ? error : ERROR_INVALID_DATA;
    }
    auto* info = reinterpret_cast<PRINTER_INFO_5A*>(record.data());
    if (info->DeviceNotSelectedTimeout == kTimeoutMs) return 0;
    info->DeviceNotSelectedTimeout = kTimeoutMs;
    return SetPrinterA(printer, 5, record.data(), 0) ? 0 : GetLastError();
}

}  // namespace qor::cil
