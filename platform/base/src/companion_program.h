// The platform's helper programs (qorspoold, qorsvchost) are installed next
// to the platform library; an environment variable may name another one.
#pragma once

#include <string>

namespace qor {

// `override_variable` when set and not empty, else `name` in the library's
// folder, else just `name` (found on PATH).
std::string companion_program(const char* override_variable, const char* name);

}  // namespace qor
