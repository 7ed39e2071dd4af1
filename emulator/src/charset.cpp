#include "charset.h"

namespace qoremu {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

Charset::Charset() : cp932_(iconv_open("UTF-32LE", "CP932")), cp437_(iconv_open("UTF-32LE", "CP437")) {}

Charset::~Charset() {
    if (cp932_ != kNoConverter) iconv_close(cp932_);
    if (cp437_ != kNoConverter) iconv_close(cp437_);
}

char32_t Charset::convert(iconv_t converter, const char* bytes, size_t size) {
    if (converter == kNoConverter) return 0;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    unsigned char out[8] = {};
    char* out_ptr = reinterpret_cast<char*>(out);
    size_t out_left = sizeof(out);
    if (iconv(converter, &in, &size, &out_ptr, &out_left) == size_t(-1) || size != 0 || out_left != 4) return 0;
    char32_t c = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
    // Private-use codes have no glyph in any resident font.
    if (c >= 0xE000 && c <= 0xF8FF) return 0;
    return c;
}

char32_t Charset::single_byte(uint8_t code, int character_font) {
    if (code >= 0x20 && code <= 0x7E) return code;
    if (code < 0x80) return 0;
    switch (character_font) {
    case 0: {
        char byte = char(code);
        return convert(cp437_, &byte, 1);
    }
    case 1:
        return code >= 0xA1 && code <= 0xDF ? char32_t(0xFF61 + (code - 0xA1)) : 0;
    case 7:
        return U' ';
    default:
        return 0;
    }
}

char32_t Charset::half_width(uint8_t code) { return single_byte(code, 1); }

char32_t Charset::shift_jis(uint16_t code) {
    char bytes[2] = {char(code >> 8), char(code & 0xFF)};
    return convert(cp932_, bytes, 2);
}

char32_t Charset::jis(uint16_t code) {
    int j1 = code >> 8, j2 = code & 0xFF;
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) return 0;
    int s1 = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
    int s2 = (j1 & 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
    return shift_jis(uint16_t(s1 << 8 | s2));
}

}  // namespace qoremu
