// The spooler calls QORCIL makes: the printer lookup, printer records, the
// requests to the monitor side, and the access state before a transfer.
#pragma once

#include "library.h"

#include <optional>
#include <vector>

namespace qor::cil {

// Access state bits.
inline constexpr DWORD kAccessPrinting = 0x00000001;
inline constexpr DWORD kAccessLocal = 0x00000002;
inline constexpr DWORD kAccessNoBidi = 0x00000100;
inline constexpr DWORD kAccessDirect = 0x00000200;
inline constexpr DWORD kAccessNetwork = 0x00000400;
inline constexpr DWORD kAccessUsable = 0x00010000;
inline constexpr DWORD kAccessRefused = 0x80000000;

// A local printer whose driver name begins "QOR ZEM" and whose name has the
// same first four characters as `name` (case-sensitive).
bool printer_matches(const char* name);

// The printer's record at `level` (size query, then the record); empty on
// failure, with the last error set.
std::vector<BYTE> printer_record(HANDLE printer, DWORD level);

// One request to the monitor side: GetPrinterDataA with a 4-byte answer.
// 0, or the spooler's error code.
DWORD send_request(HANDLE printer, const char* name, DWORD* answer = nullptr, DWORD* returned = nullptr);

// What the printer allows before a transfer; nothing when neither the
// Status block nor the printer's record could be read.
std::optional<DWORD> access_state(Library& library, HANDLE printer);

// Windows 98 only: a device-not-selected time-out other than 1000 ms is set
// to 1000. 0 or the platform's error.
DWORD fix_not_selected_timeout(HANDLE printer);

}  // namespace qor::cil
