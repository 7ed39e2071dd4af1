// The loader's view shared with the resource calls.
#pragma once

#include "qor/base.h"

namespace qor::modules {

// Looks up `name` among the module's own exports (not its dependencies').
// A null module means the executable. False with ERROR_MOD_NOT_FOUND when
// the module is not loaded; true otherwise, *symbol null when not exported.
bool find_export(HMODULE module, const char* name, void** symbol);

}  // namespace qor::modules
