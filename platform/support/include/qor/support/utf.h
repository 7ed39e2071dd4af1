// UTF-16 <-> UTF-8 for names and paths; ill-formed input becomes U+FFFD.
#pragma once

#include <cstddef>

#include <string>

namespace qor {

std::string utf16_to_utf8(const char16_t* text, size_t length);
std::string utf16_to_utf8(const char16_t* zero_terminated);
std::u16string utf8_to_utf16(const std::string& text);
size_t wide_length(const char16_t* zero_terminated);


// One character decoded from the front of a non-empty sequence: the code
// point (U+FFFD when ill-formed), the units it took, and whether it was valid.
struct Utf8Step {
    char32_t code_point;
    size_t bytes;
    bool valid;
};
struct Utf16Step {
    char32_t code_point;
    size_t units;
    bool valid;
};
Utf8Step decode_utf8(const unsigned char* text, size_t length);
// Writes one code point (at most U+10FFFF) as UTF-8; returns the byte count.
size_t encode_utf8(char32_t code_point, char out[4]);
Utf16Step decode_utf16(const char16_t* text, size_t length);

}  // namespace qor
