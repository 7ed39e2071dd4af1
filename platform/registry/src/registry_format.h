// The hive file: the registry-export text format, read with every length
// bounded and written so that it reads back to the same tree.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\QOR]
//   "Text"="value"
//   "Count"=dword:00000010
//   "Flags"=hex:01,02
//   "Path"=hex(2):25,00,00,00
#pragma once

#include "registry_tree.h"

#include <string>
#include <string_view>

namespace qor::registry {

inline constexpr std::string_view kHiveHeader = "Windows Registry Editor Version 5.00";

// Parses `text` into `root` (which it clears first). `root_name` is the
// section prefix every key must carry ("HKEY_CURRENT_USER"). An empty or
// blank text is an empty hive. On failure returns false and, when `error` is
// given, a short reason with its line number.
bool parse_hive(std::string_view text, std::string_view root_name, Key& root, std::string* error = nullptr);

std::string serialize_hive(const Key& root, std::string_view root_name);

}  // namespace qor::registry
