// Whether a local printer uses a driver of the ZEM-D family.
#pragma once

#include "qor/base.h"

namespace qorsetup {

// True when `name` begins with `prefix` (`bytes` long), compared character
// by character in the ANSI code page, a double-byte character as one unit.
bool begins_with_multibyte(const char* name, const char* prefix, size_t bytes);

// 1 when a local printer's driver begins with "QOR ZEM-D", 0 when none does,
// -1 when the printer list cannot be read.
int find_family_driver();

}  // namespace qorsetup
