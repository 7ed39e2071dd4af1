// From the printer's character codes to Unicode, for the font lookup.
// 0 stands for "no character": it prints as a box.
#pragma once

#include <cstdint>
#include <iconv.h>

namespace qoremu {

class Charset {
public:
    Charset();
    ~Charset();
    Charset(const Charset&) = delete;
    Charset& operator=(const Charset&) = delete;

    // A single-byte code under the "character font" setting (0..7).
    char32_t single_byte(uint8_t code, int character_font);
    // A single byte in kanji mode: ASCII or half-width katakana.
    char32_t half_width(uint8_t code);
    // A double-byte code, lead byte high: Shift-JIS or JIS X 0208.
    char32_t shift_jis(uint16_t code);
    char32_t jis(uint16_t code);

private:
    char32_t convert(iconv_t converter, const char* bytes, size_t size);
    iconv_t cp932_;
    iconv_t cp437_;
};

}  // namespace qoremu
