// Pure UTF-8/UTF-16 work, free of the rest of the platform so build tools
// (qorrc) can compile it on its own.
#include "qor/support/utf.h"

namespace qor {
namespace {

constexpr char32_t replacement = 0xFFFD;

void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    }
}

}  // namespace

size_t encode_utf8(char32_t c, char out[4]) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

Utf8Step decode_utf8(const unsigned char* text, size_t length) {
    unsigned char lead = text[0];
    if (lead < 0x80) return {lead, 1, true};
    size_t need;
    char32_t c;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        return {replacement, 1, false};
    }
    // A broken sequence is replaced by one U+FFFD for its longest valid
    // prefix, so the byte that broke it starts the next character.
    size_t used = 1;
    for (; used <= need; ++used) {
        if (used >= length || (text[used] & 0xC0) != 0x80) return {replacement, used, false};
        c = (c << 6) | (text[used] & 0x3F);
        // Reject overlong forms, surrogates and values past U+10FFFF as soon
        // as the second byte shows them.
        if (used == 1) {
            char32_t high = c << (6 * (need - 1));
            if (high < minimum || (high >= 0xD800 && high <= 0xDFFF) || high > 0x10FFFF)
                return {replacement, 1, false};
        }
    }
    return {c, used, true};
}

Utf16Step decode_utf16(const char16_t* text, size_t length) {
    char16_t unit = text[0];
    if (unit < 0xD800 || unit > 0xDFFF) return {unit, 1, true};
    if (unit <= 0xDBFF && length > 1 && text[1] >= 0xDC00 && text[1] <= 0xDFFF)
        return {0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[1]) - 0xDC00), 2, true};
    return {replacement, 1, false};
}

size_t wide_length(const char16_t* zero_terminated) {
    size_t n = 0;
    if (zero_terminated)
        while (zero_terminated[n]) ++n;
    return n;
}

std::string utf16_to_utf8(const char16_t* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length;) {
        Utf16Step step = decode_utf16(text + i, length - i);
        char bytes[4];
        out.append(bytes, encode_utf8(step.code_point, bytes));
        i += step.units;
    }
    return out;
}

std::string utf16_to_utf8(const char16_t* zero_terminated) {
    return zero_terminated ? utf16_to_utf8(zero_terminated, wide_length(zero_terminated)) : std::string();
}

std::u16string utf8_to_utf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    auto bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        Utf8Step step = decode_utf8(bytes + i, text.size() - i);
        append_utf16(out, step.code_point);
        i += step.bytes;
    }
    return out;
}

}  // namespace qor
