// An interface driver for the tests. DevQueryPrintEx refuses a device mode
// asking for more than one copy (with its own text) and, while the printer
// holds a data value "TEST_Refuse" other than 0, every job (asked through the handle it
// is given). DrvPrinterEvent appends "<event> <printer>" lines to
// $QOR_ROOT/driver-events and fails for printers named "Failing...".
#include "qor/ddiui.h"
#include "qor/spooler.h"
#include "qor/support/utf.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {

QORAPI BOOL DevQueryPrintEx(PDEVQUERYPRINT_INFO info) {
    if (!info || !info->pDevMode) return TRUE;
    DWORD type = 0, needed = 0;
    BYTE value[4] = {};
    std::u16string name = u"TEST_Refuse";
    if (GetPrinterDataW(info->hPrinter, name.data(), &type, value, sizeof value, &needed) == ERROR_SUCCESS &&
        value[0] != 0)
        return FALSE;
    if (info->pDevMode->dmCopies == 1) return TRUE;
    const std::u16string reason = u"one copy at a time";
    if (info->pszErrorStr && info->cchErrorStr > reason.size()) {
        std::memcpy(info->pszErrorStr, reason.c_str(), (reason.size() + 1) * sizeof(char16_t));
        info->cchNeeded = static_cast<DWORD>(reason.size() + 1);
    }
    return FALSE;
}

QORAPI BOOL DrvPrinterEvent(LPWSTR printer, int event, DWORD, LONG_PTR) {
    const std::string name = qor::utf16_to_utf8(printer);
    const char* root = std::getenv("QOR_ROOT");
    if (!root) return FALSE;
    if (FILE* f = std::fopen((std::string(root) + "/driver-events").c_str(), "a")) {
        std::fprintf(f, "%d %s\n", event, name.c_str());
        std::fclose(f);
    }
    if (name.rfind("Failing", 0) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
