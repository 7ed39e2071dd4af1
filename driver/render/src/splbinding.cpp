#include "splbinding.h"
#include "qor/guard.h"

#include "common/driver_folder.h"
#include "qor/module.h"

#include <cstring>
#include <string>

namespace {

template <class F>
F bind(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

BOOL load_spl_module(PDEV* pdev) {
    std::u16string name;
    for (size_t i = 0; i < PPD_NAME_CHARS && pdev->ppd->data.Name[i]; ++i) name.push_back(pdev->ppd->data.Name[i]);
    std::memset(&pdev->spl, 0, sizeof(pdev->spl));
    if (name.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    std::u16string path = DriverFilePath(name.c_str());
    if (path.empty()) return FALSE;
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return FALSE;
    pdev->spl.module = module;
    pdev->spl.start_doc = bind<PFN_DrvSplStartDoc>(module, "DrvSplStartDoc");
    pdev->spl.end_doc = bind<PFN_DrvSplEndDoc>(module, "DrvSplEndDoc");
    pdev->spl.close = bind<PFN_DrvSplClose>(module, "DrvSplClose");
    pdev->spl.abort = bind<PFN_DrvSplAbort>(module, "DrvSplAbort");
    pdev->spl.write_printer = bind<PFN_DrvSplWritePrinter>(module, "DrvSplWritePrinter");
    return TRUE;
}

}  // namespace

BOOL LoadSplModule(PDEV* pdev) {
    return qor::guarded(FALSE, [&] { return load_spl_module(pdev); });
}

void UnloadSplModule(PDEV* pdev) {
    if (pdev->spl.module) FreeLibrary(pdev->spl.module);
    std::memset(&pdev->spl, 0, sizeof(pdev->spl));
}
