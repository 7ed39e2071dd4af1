// Words for the platform error codes the suite's calls return, so programs
// can tell a user what went wrong instead of only a number.
#pragma once

#include "qor/base.h"

#include <string>

namespace qor::errors {

// The message for `code`, lower case and without a full stop so that it
// reads inside a sentence ("adding port X failed: the port is unknown");
// null for a code without one.
const char* message(DWORD code);

// "the printer name is invalid (error 1801)"; "error 4711" for a code
// without a message.
std::string describe(DWORD code);

}  // namespace qor::errors
