// The client calls a printer's interface driver answers: the graphics
// engine's capability query and the document's device mode.
#include "qor/ddiui.h"
#include "qor/guard.h"
#include "qor/module.h"
#include "qor/spooler.h"
#include "qor/strings.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The printer named `device` (or given as `printer`) with its interface
// driver loaded, both released at the end of the call.
class ConfigModule {
public:
    ConfigModule(HANDLE printer, LPCWSTR device) : printer_(printer) {
        if (!printer_ && device && OpenPrinterW(const_cast<LPWSTR>(device), &printer_, nullptr)) owned_ = true;
        if (!printer_) return;
        DWORD needed = 0;
        GetPrinterDriverW(printer_, nullptr, 2, nullptr, 0, &needed);
        if (needed < sizeof(DRIVER_INFO_2W) || needed > 0x100000) return;
        std::vector<BYTE> buffer(needed);
        if (!GetPrinterDriverW(printer_, nullptr, 2, buffer.data(), needed, &needed)) return;
        DRIVER_INFO_2W info;
        std::memcpy(&info, buffer.data(), sizeof(info));
        if (info.pConfigFile && *info.pConfigFile) module_ = LoadLibraryW(info.pConfigFile);
    }
    ~ConfigModule() {
        // The call's own last error outlives the clean-up.
        const DWORD error = GetLastError();
        if (module_) FreeLibrary(module_);
        if (owned_) ClosePrinter(printer_);
        SetLastError(error);
    }
    ConfigModule(const ConfigModule&) = delete;
    ConfigModule& operator=(const ConfigModule&) = delete;

    HANDLE printer() const { return printer_; }
    template <class F>
    F entry(const char* name) const {
        return module_ ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HANDLE printer_ = nullptr;
    bool owned_ = false;
    HMODULE module_ = nullptr;
};

std::u16string Wide(LPCSTR text) {
    if (!text) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::u16string wide(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// Fixed slots of wide names into slots of as many ANSI bytes.
void NarrowSlots(const std::vector<char16_t>& wide, size_t count, size_t chars, LPSTR output) {
    for (size_t i = 0; i < count; ++i) {
        char* slot = output + i * chars;
        std::memset(slot, 0, chars);
        WideCharToMultiByte(CP_ACP, 0, wide.data() + i * chars, -1, slot, static_cast<int>(chars - 1), nullptr,
                            nullptr);
        slot[chars - 1] = 0;
    }
}

// The driver's document sheet in the common property-sheet library, which
// loads the desktop layer only when a sheet is asked for.
LONG Prompt(void* window, PFN_DrvDocumentPropertySheets sheets, DOCUMENTPROPERTYHEADER* header, DWORD mode) {
    using Runner = LONG (*)(HANDLE owner, PFN_DrvDocumentPropertySheets sheet, LONG_PTR param, DWORD* result);
    HMODULE library = LoadLibraryW(u"compstui.dll");
    auto run = library ? reinterpret_cast<Runner>(reinterpret_cast<void*>(GetProcAddress(library, "CommonPropertySheetUIW")))
                       : nullptr;
    if (!run) {
        if (library) FreeLibrary(library);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return -1;
    }
    header->fMode = mode;
    DWORD result = 0;
    const LONG shown = run(window, sheets, reinterpret_cast<LONG_PTR>(header), &result);
    FreeLibrary(library);
    if (shown < 0) return -1;
    return shown > 0 ? 1 : 2;  // IDOK, IDCANCEL
}

}  // namespace

extern "C" {

QORAPI LONG DeviceCapabilitiesW(LPCWSTR device, LPCWSTR, WORD capability, LPWSTR output, const DEVMODEW* devmode) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        if (!device) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        ConfigModule driver(nullptr, device);
        auto query = driver.entry<PFN_DrvDeviceCapabilities>("DrvDeviceCapabilities");
        if (!query) {
            SetLastError(driver.printer() ? ERROR_UNKNOWN_PRINTER_DRIVER : ERROR_INVALID_PRINTER_NAME);
            return -1;
        }
        return query(driver.printer(), const_cast<LPWSTR>(device), capability, output, const_cast<DEVMODEW*>(devmode));
    });
}

QORAPI LONG DeviceCapabilitiesA(LPCSTR device, LPCSTR port, WORD capability, LPSTR output, const void*) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        const std::u16string wide_device = Wide(device), wide_port = Wide(port);
        LPCWSTR name = device ? wide_device.c_str() : nullptr;
        const size_t chars = capability == DC_PAPERNAMES ? CCHPAPERNAME : capability == DC_BINNAMES ? CCHBINNAME : 0;
        // Narrow device modes are not converted: the driver answers for the printer's own.
        if (!chars || !output) return DeviceCapabilitiesW(name, wide_port.c_str(), capability,
                                                          reinterpret_cast<LPWSTR>(output), nullptr);
        const LONG count = DeviceCapabilitiesW(name, wide_port.c_str(), capability, nullptr, nullptr);
        if (count <= 0 || count > 0x10000) return count;
        std::vector<char16_t> wide(static_cast<size_t>(count) * chars, u'\0');
        const LONG written = DeviceCapabilitiesW(name, wide_port.c_str(), capability, wide.data(), nullptr);
        if (written != count) return written < 0 ? written : -1;
        NarrowSlots(wide, static_cast<size_t>(count), chars, output);
        return count;
    });
}

QORAPI LONG DocumentPropertiesW(void* window, HANDLE printer, LPWSTR device, DEVMODEW* output, DEVMODEW* input,
                                DWORD mode) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        ConfigModule driver(printer, device);
        auto sheets = driver.entry<PFN_DrvDocumentPropertySheets>("DrvDocumentPropertySheets");
        if (!sheets) {
            SetLastError(driver.printer() ? ERROR_UNKNOWN_PRINTER_DRIVER : ERROR_INVALID_PRINTER_NAME);
            return -1;
        }
        DOCUMENTPROPERTYHEADER header{};
        header.cbSize = sizeof(header);
        header.hPrinter = driver.printer();
        header.pszPrinterName = device;
        header.pdmIn = (mode & DM_IN_BUFFER) ? input : nullptr;
        header.pdmOut = (mode & DM_OUT_BUFFER) ? output : nullptr;
        if (mode & DM_IN_PROMPT) return Prompt(window, sheets, &header, mode);
        header.fMode = mode;
        const LONG result = sheets(nullptr, reinterpret_cast<LONG_PTR>(&header));
        if (!mode) return result;
        return result > 0 ? 1 : -1;
    });
}

}  // extern "C"
