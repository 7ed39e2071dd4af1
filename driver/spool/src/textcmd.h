// Device-font text: one text record turned into positions and character
// codes (page mode: inside its own print area).
#pragma once

#include "job.h"

// `record` is `size` bytes of a text record; items beyond the record's end
// are not read. False for a record too short to hold its header.
bool SendText(SPLJOB* job, const BYTE* record, DWORD size) noexcept;
