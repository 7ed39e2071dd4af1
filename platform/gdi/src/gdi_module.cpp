#include "gdi_module.h"

#include "qor/module.h"

namespace qor::gdi {

HMODULE load_module(LPCWSTR name) { return LoadLibraryW(name); }

void* module_entry(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

void free_module(HMODULE module) {
    if (module) FreeLibrary(module);
}

}  // namespace qor::gdi
