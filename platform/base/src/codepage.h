// Lookup tables for the code pages the platform converts: 1252 and 437
// (single byte), 932, 949 and 950 (double byte). Built once per process from
// the C library's converters; UTF-8 is handled by utf.h instead.
#pragma once

#include "qor/base.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qor::codepage {

class Table {
public:
    static constexpr uint16_t unmapped = 0xFFFF;

    UINT id() const { return id_; }
    bool double_byte() const { return double_byte_; }
    bool is_lead(uint8_t byte) const { return lead_[byte]; }
    // The character of a lone byte, or unmapped.
    uint16_t decode(uint8_t byte) const { return single_[byte]; }
    // The character of a lead/trail pair, or unmapped.
    uint16_t decode(uint8_t lead, uint8_t trail) const;
    // The code page's bytes for a UTF-16 unit: a byte value below 0x100, or
    // lead << 8 | trail; unmapped when the page has no such character.
    uint16_t encode(char16_t unit) const { return encode_[unit]; }

    // The table of a supported code page (already resolved from CP_ACP and
    // friends), or null.
    static const Table* find(UINT code_page);

private:
    explicit Table(UINT id);

    UINT id_;
    bool double_byte_ = false;
    std::array<bool, 256> lead_{};
    std::array<uint16_t, 256> single_{};
    std::vector<uint16_t> pairs_;   // [lead * 256 + trail], only for double-byte pages
    std::vector<uint16_t> encode_;  // 65536 entries
};

// The ANSI code page: QOR_ACP when it names a supported page, else 1252.
UINT ansi_code_page();
// The OEM code page matching it: 437 beside 1252, else the same page.
UINT oem_code_page();
// CP_ACP, CP_THREAD_ACP and CP_OEMCP resolved to real page numbers.
UINT resolve(UINT code_page);

}  // namespace qor::codepage
