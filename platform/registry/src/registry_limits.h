// Bounds shared by the hive parser and the calls that write hives, so that
// nothing a writer accepts is ever rejected by a reader.
#pragma once

#include <cstddef>

namespace qor::registry {

inline constexpr size_t kMaxKeyNameChars = 255;       // one path component
inline constexpr size_t kMaxValueNameChars = 16383;
inline constexpr size_t kMaxKeyDepth = 512;           // components below the root
inline constexpr size_t kMaxValueBytes = 1u << 20;    // one value's data
inline constexpr size_t kMaxHiveFileBytes = 64u << 20;

}  // namespace qor::registry
