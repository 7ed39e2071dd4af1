#include "codepage.h"

#include "qor/strings.h"

#include <cstdlib>
#include <iconv.h>
#include <memory>
#include <mutex>

namespace qor::codepage {
namespace {

struct LeadRange {
    uint8_t first;
    uint8_t last;
};

struct PageInfo {
    UINT id;
    const char* iconv_name;
    std::array<LeadRange, 2> leads;  // empty ranges are {0, 0}
};

// Lead-byte ranges are the platform's, so IsDBCSLeadByteEx answers as it
// does there even for rows the C library leaves undefined.
constexpr PageInfo pages[] = {
    {1252, nullptr, {}},
    {437, "IBM437", {}},
    {932, "CP932", {{{0x81, 0x9F}, {0xE0, 0xFC}}}},
    {949, "CP949", {{{0x81, 0xFE}, {0, 0}}}},
    {950, "CP950", {{{0x81, 0xFE}, {0, 0}}}},
};

// 0x80-0x9F of 1252; the five holes stand for the C1 controls of the same
// value, as the platform maps them.
constexpr uint16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const PageInfo* info_of(UINT id) {
    for (const auto& page : pages)
        if (page.id == id) return &page;
    return nullptr;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; the output bytes, or empty when any input is
    // rejected.
    std::string run(const char* in, size_t length) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char out[16];
        char* in_ptr = const_cast<char*>(in);
        char* out_ptr = out;
        size_t in_left = length;
        size_t out_left = sizeof out;
        if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1) || in_left != 0)
            return std::string();
        return std::string(out, sizeof out - out_left);
    }

private:
    iconv_t cd_;
};

// Exactly one UTF-16 unit from `bytes`, or unmapped.
uint16_t decode_with(Converter& to_wide, const char* bytes, size_t length) {
    std::string out = to_wide.run(bytes, length);
    if (out.size() != 2) return Table::unmapped;
    return static_cast<uint16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
}

}  // namespace

Table::Table(UINT id) : id_(id), encode_(65536, unmapped) {
    single_.fill(unmapped);
    const PageInfo* info = info_of(id);
    for (const auto& range : info->leads)
        for (unsigned b = range.first; range.first && b <= range.last; ++b) lead_[b] = true;
    double_byte_ = lead_[0x81];

    if (!info->iconv_name) {
        for (unsigned b = 0; b < 256; ++b) single_[b] = static_cast<uint16_t>(b);
        for (unsigned b = 0x80; b < 0xA0; ++b) single_[b] = cp1252_high[b - 0x80];
    } else {
        Converter to_wide("UTF-16LE", info->iconv_name);
        if (to_wide.ok()) {
            for (unsigned b = 0; b < 256; ++b) {
                if (lead_[b]) continue;
                char byte = static_cast<char>(b);
                single_[b] = b == 0 ? 0 : decode_with(to_wide, &byte, 1);
            }
            if (double_byte_) {
                pairs_.assign(65536, unmapped);
                for (unsigned lead = 0; lead < 256; ++lead) {
                    if (!lead_[lead]) continue;
                    for (unsigned trail = 1; trail < 256; ++trail) {
                        char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                        pairs_[lead * 256 + trail] = decode_with(to_wide, pair, 2);
                    }
                }
            }
        } else {
            // Without the C library's converter only ASCII is known.
            for (unsigned b = 0; b < 0x80; ++b) single_[b] = static_cast<uint16_t>(b);
        }
    }

    std::vector<char16_t> ambiguous;
    for (unsigned b = 0; b < 256; ++b)
        if (single_[b] != unmapped) encode_[single_[b]] = static_cast<uint16_t>(b);
    for (size_t code = 0; code < pairs_.size(); ++code) {
        uint16_t unit = pairs_[code];
        if (unit == unmapped) continue;
        if (encode_[unit] == unmapped)
            encode_[unit] = static_cast<uint16_t>(code);
        else
            ambiguous.push_back(unit);
    }
    // Characters with several byte forms take the one the converter itself
    // writes, which is the code page's canonical form.
    if (!ambiguous.empty()) {
        Converter from_wide(info->iconv_name, "UTF-16LE");
        for (char16_t unit : ambiguous) {
            char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            std::string out = from_wide.ok() ? from_wide.run(in, 2) : std::string();
            if (out.size() == 2 && decode(static_cast<uint8_t>(out[0]), static_cast<uint8_t>(out[1])) == unit)
                encode_[unit] = static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]));
        }
    }
}

uint16_t Table::decode(uint8_t lead, uint8_t trail) const {
    return pairs_.empty() ? unmapped : pairs_[size_t(lead) * 256 + trail];
}

const Table* Table::find(UINT code_page) {
    constexpr size_t count = std::size(pages);
    static std::once_flag once[count];
    static std::unique_ptr<Table> tables[count];
    for (size_t i = 0; i < count; ++i) {
        if (pages[i].id != code_page) continue;
        std::call_once(once[i], [i] { tables[i].reset(new Table(pages[i].id)); });
        return tables[i].get();
    }
    return nullptr;
}

UINT ansi_code_page() {
    const char* value = std::getenv("QOR_ACP");
    if (value && *value) {
        char* end = nullptr;
        unsigned long page = std::strtoul(value, &end, 10);
        if (*end == '\0' && (page == 932 || page == 949 || page == 950 || page == 1252))
            return static_cast<UINT>(page);
    }
    return 1252;
}

UINT oem_code_page() {
    UINT acp = ansi_code_page();
    return acp == 1252 ? 437 : acp;
}

UINT resolve(UINT code_page) {
    switch (code_page) {
    case CP_ACP:
    case CP_THREAD_ACP:
        return ansi_code_page();
    case CP_OEMCP:
        return oem_code_page();
    default:
        return code_page;
    }
}

}  // namespace qor::codepage
