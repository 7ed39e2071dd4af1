// QORCIL loaded by name ("QORCIL.DLL") with its thirteen entries bound by
// name, as the suite's tools bind it; freed again when the binding goes.
#pragma once

#include "qorcil.h"

#include <string>

namespace qorcil {

struct Entries {
    PFN_OpenQorPrinterA OpenQorPrinterA = nullptr;
    PFN_OpenQorPrinterW OpenQorPrinterW = nullptr;
    PFN_CloseQorPrinter CloseQorPrinter = nullptr;
    PFN_GetQorPrinterStatus GetQorPrinterStatus = nullptr;
    PFN_SetQorPrinterData SetQorPrinterData = nullptr;
    PFN_GetQorPrinterData GetQorPrinterData = nullptr;
    PFN_CommQorPrinterData CommQorPrinterData = nullptr;
    PFN_CILStartSessionA CILStartSessionA = nullptr;
    PFN_CILStartSessionW CILStartSessionW = nullptr;
    PFN_CILEndSession CILEndSession = nullptr;
    PFN_CILGetPrinterStatus CILGetPrinterStatus = nullptr;
    PFN_CILSetPrinterData CILSetPrinterData = nullptr;
    PFN_CILGetPrinterData CILGetPrinterData = nullptr;
};

class Binding {
public:
    Binding() = default;
    ~Binding();
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

    // False with the reason (the library or the entry that is missing).
    bool load(std::string* error);
    void unload();
    bool loaded() const { return module_ != nullptr; }
    const Entries* operator->() const { return &entries_; }

private:
    HMODULE module_ = nullptr;
    Entries entries_;
};

}  // namespace qorcil
