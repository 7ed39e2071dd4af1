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

// Enables automatic status back on a started port; true when written.
bool enable_status_back(const Lm2kEntries& lm, HANDLE port);
// The command it writes.
std::span<const BYTE> status_back_command();

}  // namespace qor::model
