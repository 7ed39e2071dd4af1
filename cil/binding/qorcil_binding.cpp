#include "qorcil_binding.h"

#include "qor/module.h"

namespace qorcil {

namespace {

template <class Entry>
bool bind(HMODULE module, const char* name, Entry& entry, std::string* error) {
    entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (!entry) *error = std::string("QORCIL.DLL has no entry ") + name;
    return entry != nullptr;
}

}  // namespace

Binding::~Binding() { unload(); }

void Binding::unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    entries_ = Entries{};
}

bool Binding::load(std::string* error) {
    unload();
    HMODULE module = LoadLibraryA("QORCIL.DLL");
    if (!module) {
        *error = "cannot load QORCIL.DLL (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    Entries e;
    const bool all = bind(module, "OpenQorPrinterA", e.OpenQorPrinterA, error) &&
                     bind(module, "OpenQorPrinterW", e.OpenQorPrinterW, error) &&
                     bind(module, "CloseQorPrinter", e.CloseQorPrinter, error) &&
                     bind(module, "GetQorPrinterStatus", e.GetQorPrinterStatus, error) &&
                     bind(module, "SetQorPrinterData", e.SetQorPrinterData, error) &&
                     bind(module, "GetQorPrinterData", e.GetQorPrinterData, error) &&
                     bind(module, "CommQorPrinterData", e.CommQorPrinterData, error) &&
                     bind(module, "CILStartSessionA", e.CILStartSessionA, error) &&
                     bind(module, "CILStartSessionW", e.CILStartSessionW, error) &&
                     bind(module, "CILEndSession", e.CILEndSession, error) &&
                     bind(module, "CILGetPrinterStatus", e.CILGetPrinterStatus, error) &&
                     bind(module, "CILSetPrinterData", e.CILSetPrinterData, error) &&
                     bind(module, "CILGetPrinterData", e.CILGetPrinterData, error);
    if (!all) {
        FreeLibrary(module);
        return false;
    }
    module_ = module;
    entries_ = e;
    return true;
}

}  // namespace qorcil
