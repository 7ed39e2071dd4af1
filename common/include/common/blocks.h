// Layouts of the Status, Data and Reply blocks and the operations both
// sides perform on them. The operations take the mapped memory of a block
// whose mutex the caller holds; every offset and count read from a block is
// checked first, because another process may have written anything there.
#pragma once

#include "qor/base.h"

#include <cstddef>

namespace qor::blocks {

inline constexpr DWORD kHeaderSize = 16;
inline constexpr DWORD kAreaSize = 4096;
inline constexpr DWORD kExchangeBlockSize = kHeaderSize + kAreaSize;  // 4112
// The Status block's creator picks its size; only the first two words are
// defined, so readers need no more than this.
inline constexpr DWORD kStatusBlockMinSize = 8;

struct StatusBlock {
    DWORD control;  // qor::status::kControl* bits
    DWORD status;   // printer status word
};

struct DataBlock {
    DWORD data_offset;  // 16; 0 while the block is fresh
    DWORD block_size;   // 4112
    DWORD staged_count;
    DWORD reserved;
    BYTE data[kAreaSize];
};

struct ReplyBlock {
    DWORD data_offset;   // 16; 0 while the block is fresh
    DWORD block_size;    // 4112
    DWORD write_offset;  // one past the last byte received
    DWORD read_offset;   // next byte not yet taken
    BYTE data[kAreaSize];
};

static_assert(sizeof(StatusBlock) == 8);
static_assert(offsetof(StatusBlock, control) == 0);
static_assert(offsetof(StatusBlock, status) == 4);
static_assert(sizeof(DataBlock) == 4112);
static_assert(offsetof(DataBlock, data_offset) == 0);
static_assert(offsetof(DataBlock, block_size) == 4);
static_assert(offsetof(DataBlock, staged_count) == 8);
static_assert(offsetof(DataBlock, reserved) == 12);
static_assert(offsetof(DataBlock, data) == 16);
static_assert(sizeof(ReplyBlock) == 4112);
static_assert(offsetof(ReplyBlock, data_offset) == 0);
static_assert(offsetof(ReplyBlock, block_size) == 4);
static_assert(offsetof(ReplyBlock, write_offset) == 8);
static_assert(offsetof(ReplyBlock, read_offset) == 12);
static_assert(offsetof(ReplyBlock, data) == 16);

// Status block. read_status fails (false) until the valid bit is set.
void write_status(StatusBlock& block, DWORD status);
void set_no_connection(StatusBlock& block, bool no_connection);
bool read_status(const StatusBlock& block, DWORD* status);

// Reply block, a byte queue.
// Writes the empty state {16, 4112, 16, 16} and zeroes the area.
void reply_reset(ReplyBlock& block);
// True when the header holds the invariant 16 <= read <= write <= 4112.
bool reply_header_valid(const ReplyBlock& block);
// Resets a fresh or corrupt header; true when it did.
bool reply_repair(ReplyBlock& block);
// Unread bytes (after repair).
DWORD reply_available(ReplyBlock& block);
// Queues bytes after the unread ones, moving those to the area's start when
// that makes room; returns how many were stored (less only when full).
DWORD reply_append(ReplyBlock& block, const BYTE* bytes, size_t count);
// Takes up to `size` unread bytes. A buffer larger than what is unread takes
// everything and resets the block.
DWORD reply_take(ReplyBlock& block, BYTE* out, size_t size);

// Data block, one staged message.
void data_reset(DataBlock& block);
// Resets a fresh or corrupt header; true when it did.
bool data_repair(DataBlock& block);
// Stages min(count, 4096) bytes after zeroing the area; returns that number.
DWORD data_stage(DataBlock& block, const BYTE* bytes, size_t count);
// Staged bytes, 0..4096 (after repair); *bytes points at the area.
DWORD data_staged(DataBlock& block, const BYTE** bytes);
// Forgets the staged bytes once they were sent.
void data_clear(DataBlock& block);

}  // namespace qor::blocks
