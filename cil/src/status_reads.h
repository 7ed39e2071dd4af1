// QORCIL's reads of the Status block: under its mutex, which counts only
// when acquired normally (an abandoned one means the writer died mid-way).
#pragma once

#include "library.h"

#include "common/blocks.h"

#include <optional>

namespace qor::cil {

// Both defined words; nothing when the block is missing or not locked in 5 s.
std::optional<blocks::StatusBlock> read_status_block(Library& library);

}  // namespace qor::cil
