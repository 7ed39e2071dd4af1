// Bytes written in hexadecimal, as the command line takes and prints them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "1d 61 1e", "1D,61,0x1e" and "1d611e" are the same three bytes. False
// with a message for any other character or an odd digit.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes, std::string* error);

// "1d 61 1e"
std::string FormatHexBytes(const uint8_t* bytes, size_t count);
