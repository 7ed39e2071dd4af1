// qorctl properties: the printer's device sheet, shown by its interface
// driver (the configuration file of its driver record).
#include "commands.h"

#include "qor/module.h"
#include "qor/spooler.h"

#include <cstring>
#include <vector>

namespace qorctl {

int printer_properties(const Args& a) {
    if (a.size() != 1) return usage_error("properties needs PRINTER");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    const std::string what = "showing the properties of printer " + quoted(a[0]);
    DWORD needed = 0;
    GetPrinterDriverW(p.get(), nullptr, 2, nullptr, 0, &needed);
    if (needed < sizeof(DRIVER_INFO_2W) || needed > 0x100000) return fail(what);
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterDriverW(p.get(), nullptr, 2, buffer.data(), needed, &needed)) return fail(what);
    DRIVER_INFO_2W driver;
    std::memcpy(&driver, buffer.data(), sizeof(driver));
    HMODULE module = driver.pConfigFile && *driver.pConfigFile ? LoadLibraryW(driver.pConfigFile) : nullptr;
    using Sheet = BOOL (*)(void* window, HANDLE printer);
    auto sheet = module ? reinterpret_cast<Sheet>(reinterpret_cast<void*>(GetProcAddress(module, "PrinterProperties")))
                        : nullptr;
    if (!sheet) {
        if (module) FreeLibrary(module);
        return fail_because(what, "its driver has no property sheets");
    }
    sheet(nullptr, p.get());
    FreeLibrary(module);
    return kOk;
}

}  // namespace qorctl
