// Block operations. Header words are read once into locals and checked
// before use: a block that another process has scribbled on is reset, never
// trusted as an offset into the area.
#include "common/blocks.h"

#include "common/status.h"

#include <algorithm>
#include <cstring>

namespace qor::blocks {

namespace {

struct ReplyHeader {
    DWORD data_offset, block_size, write_offset, read_offset;
};

ReplyHeader reply_header(const ReplyBlock& block) {
    return {block.data_offset, block.block_size, block.write_offset, block.read_offset};
}

bool valid(const ReplyHeader& h) {
    return h.data_offset == kHeaderSize && h.block_size == kExchangeBlockSize && h.read_offset >= kHeaderSize &&
           h.read_offset <= h.write_offset && h.write_offset <= kExchangeBlockSize;
}

// A header snapshot that holds the invariant; a fresh or corrupt block is
// reset first. Callers work from the snapshot, not from re-reads.
ReplyHeader checked_header(ReplyBlock& block, bool* was_reset = nullptr);

}  // namespace

void write_status(StatusBlock& block, DWORD status) {
    block.status = status;
    block.control |= status::kControlValid;
}

void set_no_connection(StatusBlock& block, bool no_connection) {
    if (no_connection)
        block.control |= status::kControlNoConnection;
    else
        block.control &= ~status::kControlNoConnection;
}

bool read_status(const StatusBlock& block, DWORD* status) {
    if (!(block.control & status::kControlValid)) return false;
    *status = block.status;
    return true;
}

void reply_reset(ReplyBlock& block) {
    block.data_offset = kHeaderSize;
    block.block_size = kExchangeBlockSize;
    block.write_offset = kHeaderSize;
    block.read_offset = kHeaderSize;
    std::memset(block.data, 0, sizeof block.data);
}

bool reply_header_valid(const ReplyBlock& block) { return valid(reply_header(block)); }

namespace {

ReplyHeader checked_header(ReplyBlock& block, bool* was_reset) {
    ReplyHeader h = reply_header(block);
    const bool reset = !valid(h);
    if (reset) {
        reply_reset(block);
        h = {kHeaderSize, kExchangeBlockSize, kHeaderSize, kHeaderSize};
    }
    if (was_reset) *was_reset = reset;
    return h;
}

}  // namespace

bool reply_repair(ReplyBlock& block) {
    bool reset = false;
    checked_header(block, &reset);
    return reset;
}

DWORD reply_available(ReplyBlock& block) {
    const ReplyHeader h = checked_header(block);
    return h.write_offset - h.read_offset;
}

DWORD reply_append(ReplyBlock& block, const BYTE* bytes, size_t count) {
    ReplyHeader h = checked_header(block);
    const DWORD unread = h.write_offset - h.read_offset;
    if (count > kExchangeBlockSize - h.write_offset && h.read_offset > kHeaderSize) {
        // Taken bytes at the front are dead space; reclaim it before dropping anything.
        std::memmove(block.data, block.data + (h.read_offset - kHeaderSize), unread);
        std::memset(block.data + unread, 0, kAreaSize - unread);
        h.read_offset = kHeaderSize;
        h.write_offset = kHeaderSize + unread;
        block.read_offset = h.read_offset;
    }
    const DWORD stored = static_cast<DWORD>(std::min<size_t>(count, kExchangeBlockSize - h.write_offset));
    if (stored) std::memcpy(block.data + (h.write_offset - kHeaderSize), bytes, stored);
    block.write_offset = h.write_offset + stored;
    return stored;
}

DWORD reply_take(ReplyBlock& block, BYTE* out, size_t size) {
    const ReplyHeader h = checked_header(block);
    const DWORD available = h.write_offset - h.read_offset;
    if (available == 0) return 0;
    const BYTE* from = block.data + (h.read_offset - kHeaderSize);
    if (size <= available) {
        const DWORD taken = static_cast<DWORD>(size);
        if (taken) std::memcpy(out, from, taken);
        block.read_offset = h.read_offset + taken;
        return taken;
    }
    std::memcpy(out, from, available);
    reply_reset(block);
    return available;
}

void data_reset(DataBlock& block) {
    block.data_offset = kHeaderSize;
    block.block_size = kExchangeBlockSize;
    block.staged_count = 0;
    block.reserved = 0;
    std::memset(block.data, 0, sizeof block.data);
}

bool data_repair(DataBlock& block) {
    const DWORD offset = block.data_offset, size = block.block_size, staged = block.staged_count;
    if (offset == kHeaderSize && size == kExchangeBlockSize && staged <= kAreaSize) return false;
    data_reset(block);
    return true;
}

DWORD data_stage(DataBlock& block, const BYTE* bytes, size_t count) {
    data_repair(block);
    std::memset(block.data, 0, sizeof block.data);
    const DWORD staged = static_cast<DWORD>(std::min<size_t>(count, kAreaSize));
    if (staged) std::memcpy(block.data, bytes, staged);
    block.staged_count = staged;
    return staged;
}

DWORD data_staged(DataBlock& block, const BYTE** bytes) {
    data_repair(block);
    *bytes = block.data;
    return std::min(block.staged_count, kAreaSize);
}

void data_clear(DataBlock& block) {
    data_repair(block);
    block.staged_count = 0;
}

}  // namespace qor::blocks
