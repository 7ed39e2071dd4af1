// UTF-16 <-> UTF-8 for names and paths; ill-formed input becomes U+FFFD.
#pragma once

#include "qor/base.h"

#include <string>

namespace qor {

std::string utf16_to_utf8(const char16_t* text, size_t length);
std::string utf16_to_utf8(const char16_t* zero_terminated);
std::u16string utf8_to_utf16(const std::string& text);
size_t wide_length(const char16_t* zero_terminated);

// A narrow string in the ANSI code page as UTF-8 (file and object names).
std::string acp_to_utf8(const char* zero_terminated);

}  // namespace qor
