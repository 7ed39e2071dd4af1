// The interface driver's lifecycle entry points and the job query.
#include "context.h"
#include "current_devmode.h"

#include "qor/ddiui.h"
#include "qor/guard.h"
#include "qor/module.h"
#include "qor/spooler.h"

#include <cstring>

extern "C" {

QORAPI BOOL DllInitialize(HMODULE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) SetDriverModule(module);
    return TRUE;
}

// What the module loader calls on attach.
QORAPI BOOL DllEntryPoint(HMODULE module, DWORD reason, LPVOID reserved) {
    return DllInitialize(module, reason, reserved);
}

QORAPI BOOL DevQueryPrintEx(PDEVQUERYPRINT_INFO info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!info || !info->pDevMode) return TRUE;
        const Description description = LoadPrinterDescription();
        EXDEVMODE current;
        std::memset(&current, 0, sizeof(current));
        BuildCurrentDevMode(&current, info->pDevMode, info->hPrinter, nullptr, description.ppd());
        // The driver prints one copy at full scale in either orientation;
        // anything else waits until its device mode is changed.
        const DEVMODEW& job = *info->pDevMode;
        if (job.dmSize < offsetof(DEVMODEW, dmCopies) + sizeof(SHORT)) return FALSE;
        return job.dmSize == EXDM_PUBLIC_SIZE &&
               (job.dmOrientation == DMORIENT_PORTRAIT || job.dmOrientation == DMORIENT_LANDSCAPE) &&
               job.dmScale == 100 && job.dmCopies == 1;
    });
}

QORAPI BOOL DrvUpgradePrinter(DWORD level, LPBYTE info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        DRIVER_UPGRADE_INFO_1 upgrade{};
        if (level == 1 && info) std::memcpy(&upgrade, info, sizeof(upgrade));
        HANDLE printer = nullptr;
        if (!upgrade.pPrinterName || !OpenPrinterW(upgrade.pPrinterName, &printer, nullptr)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        ClosePrinter(printer);
        return TRUE;
    });
}

QORAPI BOOL DrvPrinterEvent(LPWSTR, int, DWORD, LONG_PTR) {
    qor::guarded_void([] { LoadPrinterDescription(); });
    return TRUE;
}

}  // extern "C"
