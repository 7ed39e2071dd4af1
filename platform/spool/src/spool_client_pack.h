// Lays spooler records out in a caller's buffer the way the platform does:
// the fixed records first, then the strings and blobs they point to. Every
// record type is filled by one function that runs twice: once measuring
// (no buffer) and once writing, so the size asked for is exactly the size
// used.
#pragma once

#include "spool_client.h"

#include <cstring>
#include <string>
#include <vector>

namespace qor::spool {

class Packer {
public:
    // buffer null: measure only.
    Packer(LPBYTE buffer, size_t fixed_size) : base_(buffer), used_(align(fixed_size)) {}

    size_t used() const { return used_; }

    template <class Char>
    Char* str(const std::string& utf8);
    void* blob(const void* data, size_t size);

private:
    static size_t align(size_t n) { return (n + 7) & ~size_t(7); }
    void* place(const void* data, size_t size);
    LPBYTE base_;
    size_t used_;
};

// The narrow device mode (names in the ANSI code page, 64 bytes shorter)
// made from a wide one; empty when the wide one is malformed.
std::vector<uint8_t> devmode_wide_to_narrow(const std::vector<uint8_t>& wide);
std::vector<uint8_t> devmode_narrow_to_wide(const void* narrow, size_t available);
// A caller's wide device mode as bytes; only its own size fields say how
// long it is, so they are capped before anything is read. Empty for null
// or a record too short to be one.
std::vector<uint8_t> devmode_bytes(const DEVMODEW* dm);

// Packs `items` with `fill(packer, record*, item)` into buffer/size. Sets
// *needed; returns FALSE with ERROR_INSUFFICIENT_BUFFER when it does not fit.
template <class Record, class Item, class Fill>
BOOL pack_records(const std::vector<Item>& items, LPBYTE buffer, DWORD size, LPDWORD needed, Fill fill) {
    size_t fixed = sizeof(Record) * items.size();
    Packer measure(nullptr, fixed);
    for (const auto& item : items) {
        Record dummy{};
        fill(measure, &dummy, item);
    }
    if (needed) *needed = static_cast<DWORD>(measure.used());
    if (measure.used() > size || (!buffer && !items.empty())) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Packer pack(buffer, fixed);
    auto* records = reinterpret_cast<Record*>(buffer);
    for (size_t i = 0; i < items.size(); ++i) {
        Record record{};
        fill(pack, &record, items[i]);
        std::memcpy(&records[i], &record, sizeof record);
    }
    return TRUE;
}

}  // namespace qor::spool
