// Where the printer's bytes go once QORLM2K has read them.
#pragma once

#include "qor/base.h"

#include <cstddef>

namespace qor::model {

// Replies to this module's own status query are kept for it; every other
// byte is queued in the Reply block for QORCIL.
void deliver_reply_bytes(HANDLE port, const BYTE* bytes, size_t count);
// Status from automatic status back in the bytes, also stored in the Status
// block; false when the bytes completed no status frame.
bool parse_reply_status(HANDLE port, const BYTE* bytes, size_t count, DWORD* status);

}  // namespace qor::model
