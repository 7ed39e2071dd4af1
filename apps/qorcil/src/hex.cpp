#include "hex.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ','; }

}  // namespace

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    int high = -1;  // the first digit of a byte, while waiting for the second
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (high < 0 && c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            ++i;
            continue;
        }
        if (IsSeparator(c)) {
            if (high >= 0) {
                *error = "a byte needs two hex digits (at position " + std::to_string(i + 1) + ")";
                return false;
            }
            continue;
        }
        const int digit = DigitValue(c);
        if (digit < 0) {
            *error = "'" + std::string(1, c) + "' at position " + std::to_string(i + 1) + " is not a hex digit";
            return false;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes->push_back(uint8_t(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) {
        *error = "a byte needs two hex digits (the last one has one)";
        return false;
    }
    if (bytes->empty()) {
        *error = "no bytes given";
        return false;
    }
    return true;
}

std::string FormatHexBytes(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i) text.push_back(' ');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
    return text;
}
