// The Status block on its creator's side: created once per process and kept
// current under its mutex.
#pragma once

#include "common/blocks.h"

namespace qor::model {

// The block's size on this side: the two defined words, then an update
// counter of our own, then a reserved word.
inline constexpr DWORD kStatusBlockSize = 16;
inline constexpr DWORD kUpdateCounterOffset = 8;

// Creates the block if this process does not hold it yet; true when held.
bool ensure_status_block();
// Drops this process's mapping (at monitor shut-down).
void release_status_block();

// A status read from the printer: stores the word, sets valid and "fresh"
// (bit 0) and clears no-connection.
bool store_printer_status(DWORD status);
// The printer did not answer: sets no-connection, keeps the last word.
bool store_no_answer();
// The word last stored (0 when none).
DWORD last_printer_status();

}  // namespace qor::model
