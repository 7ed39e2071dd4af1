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

constexpr LONG kNarrowSaving = CCHDEVICENAME + CCHFORMNAME;  // a byte saved on each name character
constexpr size_t kWideMiddle = offsetof(DEVMODEW, dmSpecVersion),
                 kWideTail = offsetof(DEVMODEW, dmLogPixels);

void WidenName(const BYTE* narrow, WCHAR* wide, size_t chars) {
    char text[CCHFORMNAME + 1] = {};
    std::memcpy(text, narrow, chars);
    std::memset(wide, 0, chars * sizeof(WCHAR));
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(chars - 1));
}

void NarrowName(const WCHAR* wide, BYTE* narrow, size_t chars) {
    WCHAR text[CCHFORMNAME + 1] = {};
    std::memcpy(text, wide, chars * sizeof(WCHAR));
    std::memset(narrow, 0, chars);
    WideCharToMultiByte(CP_ACP, 0, text, -1, reinterpret_cast<char*>(narrow), static_cast<int>(chars - 1), nullptr,
                        nullptr);
}

// An ANSI record as the wide one it stands for; false when its sizes do not
// cover the form name or it is larger than any record.
bool WidenDevMode(const DEVMODEA& narrow, std::vector<BYTE>* wide) {
    WORD size = 0, extra = 0;
    std::memcpy(&size, narrow.dmMiddle + (offsetof(DEVMODEW, dmSize) - kWideMiddle), sizeof(size));
    std::memcpy(&extra, narrow.dmMiddle + (offsetof(DEVMODEW, dmDriverExtra) - kWideMiddle), sizeof(extra));
    if (size < offsetof(DEVMODEA, dmTail) || size > DEVMODEA_PUBLIC_SIZE) return false;
    const auto* bytes = reinterpret_cast<const BYTE*>(&narrow);
    wide->assign(size_t{size} + kNarrowSaving + extra, 0);
    auto* record = reinterpret_cast<DEVMODEW*>(wide->data());
    WidenName(narrow.dmDeviceName, record->dmDeviceName, CCHDEVICENAME);
    std::memcpy(wide->data() + kWideMiddle, narrow.dmMiddle, sizeof(narrow.dmMiddle));
    WidenName(narrow.dmFormName, record->dmFormName, CCHFORMNAME);
    std::memcpy(wide->data() + kWideTail, narrow.dmTail, size - offsetof(DEVMODEA, dmTail));
    std::memcpy(wide->data() + size + kNarrowSaving, bytes + size, extra);
    record->dmSize = static_cast<WORD>(size + kNarrowSaving);
    return true;
}

// The driver's wide record into the caller's ANSI buffer.
void NarrowDevMode(const std::vector<BYTE>& wide, DEVMODEA* narrow) {
    const auto* record = reinterpret_cast<const DEVMODEW*>(wide.data());
    const size_t size = record->dmSize, extra = record->dmDriverExtra;
    if (size < sizeof(DEVMODEW) || size + extra > wide.size()) return;
    auto* bytes = reinterpret_cast<BYTE*>(narrow);
    NarrowName(record->dmDeviceName, narrow->dmDeviceName, CCHDEVICENAME);
    std::memcpy(narrow->dmMiddle, wide.data() + kWideMiddle, sizeof(narrow->dmMiddle));
    NarrowName(record->dmFormName, narrow->dmFormName, CCHFORMNAME);
    std::memcpy(narrow->dmTail, wide.data() + kWideTail, sizeof(narrow->dmTail));
    const WORD narrow_size = DEVMODEA_PUBLIC_SIZE;
    std::memcpy(narrow->dmMiddle + (offsetof(DEVMODEW, dmSize) - kWideMiddle), &narrow_size, sizeof(narrow_size));
    std::memcpy(bytes + DEVMODEA_PUBLIC_SIZE, wide.data() + size, extra);
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

QORAPI LONG DocumentPropertiesA(void* window, HANDLE printer, LPSTR device, DEVMODEA* output, DEVMODEA* input,
                                DWORD mode) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        std::u16string wide_device = Wide(device);
        LPWSTR name = device ? wide_device.data() : nullptr;
        if (!mode) {
            const LONG size = DocumentPropertiesW(window, printer, name, nullptr, nullptr, 0);
            return size > kNarrowSaving ? size - kNarrowSaving : size;
        }
        std::vector<BYTE> wide_input;
        if ((mode & DM_IN_BUFFER) && input) {
            if (!WidenDevMode(*input, &wide_input)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
        }
        // The driver's whole record, whatever the caller's output holds.
        const LONG size = DocumentPropertiesW(window, printer, name, nullptr, nullptr, 0);
        if (size <= 0 || size > 0x10000) return -1;
        std::vector<BYTE> wide_output(static_cast<size_t>(size), 0);
        DEVMODEW* in = wide_input.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(wide_input.data());
        const LONG result = DocumentPropertiesW(window, printer, name, reinterpret_cast<DEVMODEW*>(wide_output.data()),
                                                in, mode | DM_OUT_BUFFER);
        if (result > 0 && (mode & DM_OUT_BUFFER) && output) NarrowDevMode(wide_output, output);
        return result;
    });
}

}  // extern "C"
