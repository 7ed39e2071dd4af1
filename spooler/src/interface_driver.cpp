#include "interface_driver.h"

#include "qor/ddiui.h"
#include "qor/module.h"
#include "qor/spooler.h"
#include "qor/support/utf.h"

#include <cstring>
#include <memory>
#include <string>

namespace qor::spooler {
namespace {

constexpr DWORD kReasonChars = 256;

}  // namespace

InterfaceDriver::InterfaceDriver(const std::string& config_path) {
    if (config_path.empty()) return;
    const std::u16string path = utf8_to_utf16(config_path);
    module_ = LoadLibraryW(path.c_str());
}

InterfaceDriver::~InterfaceDriver() {
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

void* InterfaceDriver::entry(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

JobQuery InterfaceDriver::query(const std::string& printer, const std::vector<uint8_t>& devmode) {
    auto query = reinterpret_cast<PFN_DevQueryPrintEx>(entry("DevQueryPrintEx"));
    if (!query || devmode.empty()) return {};
    std::u16string name = utf8_to_utf16(printer);
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name.data(), &handle, nullptr)) return {};
    // The driver gets its own aligned copy: it may read the record as a
    // structure, and nothing it writes there reaches the job.
    auto record = std::make_unique<uint64_t[]>((devmode.size() + 7) / 8);
    std::memcpy(record.get(), devmode.data(), devmode.size());
    WCHAR reason[kReasonChars] = {};
    DEVQUERYPRINT_INFO info{};
    info.cbSize = sizeof info;
    info.Level = 1;
    info.hPrinter = handle;
    info.pDevMode = reinterpret_cast<DEVMODEW*>(record.get());
    info.pszErrorStr = reason;
    info.cchErrorStr = kReasonChars;
    JobQuery result;
    result.allowed = query(&info) != FALSE;
    ClosePrinter(handle);
    if (!result.allowed) {
        reason[kReasonChars - 1] = 0;
        result.reason = utf16_to_utf8(reason);
    }
    return result;
}

bool InterfaceDriver::printer_event(const std::string& printer, int event, std::string& failure) {
    auto call = reinterpret_cast<PFN_DrvPrinterEvent>(entry("DrvPrinterEvent"));
    if (!call) {
        failure = module_ ? "the driver has no DrvPrinterEvent" : "the driver's configuration file does not load";
        return false;
    }
    std::u16string name = utf8_to_utf16(printer);
    SetLastError(0);
    if (call(name.data(), event, 0, 0)) return true;
    failure = "DrvPrinterEvent failed (error " + std::to_string(GetLastError()) + ")";
    return false;
}

std::shared_ptr<InterfaceDriver> InterfaceDrivers::get(const std::string& config_path) {
    std::lock_guard lock(mutex_);
    auto& driver = loaded_[config_path];
    if (!driver || !driver->loaded()) driver = std::make_shared<InterfaceDriver>(config_path);
    return driver;
}

}  // namespace qor::spooler
