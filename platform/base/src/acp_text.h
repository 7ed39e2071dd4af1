// Narrow text in the ANSI code page to and from UTF-8, for file and object
// names handed to the platform's A calls.
#pragma once

#include <string>

namespace qor {

// A narrow string in the ANSI code page as UTF-8.
std::string acp_to_utf8(const char* zero_terminated);
// UTF-8 (a path, a name) as a narrow string in the ANSI code page; characters
// the code page lacks become '?'.
std::string utf8_to_acp(const std::string& text);

}  // namespace qor
