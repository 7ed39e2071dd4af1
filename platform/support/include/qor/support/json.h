// JSON text for the programs' --json output.
#pragma once

#include <string>
#include <string_view>

namespace qor {

// A JSON string literal, quotes included, for UTF-8 text: quotes and
// backslashes escaped, a tab as \t and the other control characters as
// \u00XX.
std::string json_string(std::string_view text);

}  // namespace qor
