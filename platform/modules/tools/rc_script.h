// Compiles a resource script (.rc): DIALOG, DIALOGEX, MENU, ACCELERATORS,
// STRINGTABLE, ICON, VERSIONINFO, RCDATA and resources of a named type from
// a file, into the platform's binary layouts. Throws Failure naming the file
// and line.
#pragma once

#include "rc_resource.h"

#include <string>
#include <vector>

namespace qorrc {

void compile_script(const std::string& path, const std::vector<std::string>& include_dirs, Output& output);

// A resource name or type as the command line and scripts give it: a number
// from 1 to 65535, or letters, digits and '_' (kept upper-case). Known type
// names (DIALOG, RCDATA, ...) become their numbers when `is_type`.
Key parse_key(const std::string& text, bool is_type);

}  // namespace qorrc
