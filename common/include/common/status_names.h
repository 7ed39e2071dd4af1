// Printer and job status words in words: the condition names a user reads
// in place of hexadecimal bits.
#pragma once

#include "qor/base.h"

#include <string>
#include <vector>

namespace qor::status {

// The conditions a printer status word carries, in bit order ("paper out",
// "printing", "no answer"); bits without a name come as "0x00008000".
// Empty for 0.
std::vector<std::string> printer_conditions(DWORD status);

// The same for a job's status word ("spooling", "paused", "printed").
std::vector<std::string> job_conditions(DWORD status);

// The names joined with ", ", or `none` when there are none.
std::string join(const std::vector<std::string>& names, const char* none);

}  // namespace qor::status
