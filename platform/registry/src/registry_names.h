// Key and value names: compared without regard to case, stored with the case
// they were created with; key paths split at `\`.
#pragma once

#include "qor/base.h"

#include <string>
#include <string_view>
#include <vector>

namespace qor::registry {

char16_t fold_case(char16_t c);
bool names_equal(std::u16string_view a, std::u16string_view b);

// Splits "a\b\c" into its components. A single trailing `\` is allowed; an
// empty component, a leading `\` or a component too long fails with
// ERROR_BAD_PATHNAME / ERROR_INVALID_PARAMETER. A null or empty path gives
// no components.
LONG split_key_path(std::u16string_view path, std::vector<std::u16string>& components);

// True for a name that the hive file can carry on one line.
bool is_storable_name(std::u16string_view name);

}  // namespace qor::registry
