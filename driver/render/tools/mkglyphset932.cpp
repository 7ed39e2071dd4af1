// Build-time generator of the double-byte glyph-set resource: every
// Unicode character with an exact code page 932 code, in runs of
// consecutive characters, each character's handle being its code. The
// build fails unless the set has the size the driver is made for.
//
//   mkglyphset932 <output file>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace {

constexpr uint32_t kCharacters = 7484;
constexpr uint32_t kRuns = 4247;
constexpr uint32_t kBytes = 63928;

struct Converter {
    iconv_t to = iconv_open("CP932", "UTF-16LE");
    iconv_t from = iconv_open("UTF-16LE", "CP932");
    ~Converter() {
        if (to != reinterpret_cast<iconv_t>(-1)) iconv_close(to);
        if (from != reinterpret_cast<iconv_t>(-1)) iconv_close(from);
    }
    bool ready() const { return to != reinterpret_cast<iconv_t>(-1) && from != reinterpret_cast<iconv_t>(-1); }

    // The character's code (1 or 2 bytes), or 0 when it has no exact code:
    // the code must convert back to the same character.
    uint32_t code_of(uint16_t ch) {
        char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
        char out[8];
        char* in_p = in;
        size_t in_left = 2;
        char* out_p = out;
        size_t out_left = sizeof(out);
        iconv(to, nullptr, nullptr, nullptr, nullptr);
        if (iconv(to, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) return 0;
        size_t length = sizeof(out) - out_left;
        if (length < 1 || length > 2) return 0;
        char back[8];
        char* back_in = out;
        size_t back_in_left = length;
        char* back_p = back;
        size_t back_left = sizeof(back);
        iconv(from, nullptr, nullptr, nullptr, nullptr);
        if (iconv(from, &back_in, &back_in_left, &back_p, &back_left) == static_cast<size_t>(-1)) return 0;
        if (sizeof(back) - back_left != 2 || std::memcmp(back, in, 2) != 0) return 0;
        auto b0 = static_cast<uint8_t>(out[0]), b1 = static_cast<uint8_t>(out[1]);
        return length == 1 ? b0 : (static_cast<uint32_t>(b0) << 8 | b1);
    }
};

bool excluded(uint32_t ch) {
    return ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || (ch >= 0xD800 && ch < 0xF900);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    Converter converter;
    if (!converter.ready()) {
        std::fprintf(stderr, "mkglyphset932: the system has no code page 932 conversion\n");
        return 1;
    }
    struct Run {
        uint16_t low;
        uint16_t count;
    };
    std::vector<Run> runs;
    std::vector<uint32_t> handles;
    for (uint32_t ch = 0; ch < 0x10000; ++ch) {
        if (excluded(ch)) continue;
        uint32_t code = converter.code_of(static_cast<uint16_t>(ch));
        if (!code) continue;
        if (!runs.empty() && runs.back().low + runs.back().count == ch) {
            ++runs.back().count;
        } else {
            runs.push_back({static_cast<uint16_t>(ch), 1});
        }
        handles.push_back(code);
    }
    const uint32_t head = 16 + static_cast<uint32_t>(runs.size()) * 8;
    std::vector<uint8_t> out;
    put32(out, head);
    put32(out, 0);
    put32(out, static_cast<uint32_t>(handles.size()));
    put32(out, static_cast<uint32_t>(runs.size()));
    uint32_t offset = head;
    for (const Run& run : runs) {
        put16(out, run.low);
        put16(out, run.count);
        put32(out, offset);  // rewritten when the driver loads the set
        offset += run.count * 4u;
    }
    for (uint32_t handle : handles) put32(out, handle);
    if (handles.size() != kCharacters || runs.size() != kRuns || out.size() != kBytes) {
        std::fprintf(stderr, "mkglyphset932: %zu characters in %zu runs, %zu bytes; expected %u in %u, %u bytes\n",
                     handles.size(), runs.size(), out.size(), kCharacters, kRuns, kBytes);
        return 1;
    }
    FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
