// Answers to the QORCIL requests that reach the monitor as printer-data
// value names.
#pragma once

#include "lm2k_entries.h"

#include <span>

namespace qor::model {

// Whether a value name is one of the QORCIL requests.
bool is_cil_request(LPCWSTR value_name);

// Answers one request with a 32-bit word in `out`. FALSE (with the last
// error) only for a short output buffer or an unknown name.
BOOL answer_cil_request(const Lm2kEntries& lm, HANDLE port, LPCWSTR value_name, LPWSTR out, DWORD out_size,
                        LPDWORD returned);

// Asks the printer for its real-time status and stores the answer, or the
// lack of one, in the Status block; true when it answered. The spooler is
// not told.
bool query_printer_status(const Lm2kEntries& lm, HANDLE port, DWORD* status);

// One hold keeping the port started between jobs, and its release.
void hold_port(const Lm2kEntries& lm, HANDLE port);
void release_port(const Lm2kEntries& lm, HANDLE port);

// Enables automatic status back on a started port; true when written.
bool enable_status_back(const Lm2kEntries& lm, HANDLE port);
// The command it writes.
std::span<const BYTE> status_back_command();

}  // namespace qor::model
