// Loading a driver module and binding its entry points by name, through
// the platform's module loader.
#pragma once

#include "qor/base.h"

namespace qor::gdi {

HMODULE load_module(LPCWSTR name);
void* module_entry(HMODULE module, const char* name);
void free_module(HMODULE module);

}  // namespace qor::gdi
