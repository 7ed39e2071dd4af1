// The version box: the product version from the version record of this
// printer's interface module.
#include "resource.h"
#include "sheet_window.h"

#include "qor/spooler.h"
#include "qor/ui/windows.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The configuration file of the printer's driver, from the installed
// drivers' records.
std::u16string ConfigFileOf(const EXDEVMODE& current) {
    WCHAR name[CCHDEVICENAME + 1] = {};
    std::memcpy(name, current.dm.dmDeviceName, sizeof(current.dm.dmDeviceName));
    HANDLE printer = nullptr;
    if (!name[0] || !OpenPrinterW(name, &printer, nullptr)) return {};
    std::u16string driver;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed >= sizeof(PRINTER_INFO_2W) && needed < 0x100000) {
        std::vector<BYTE> buffer(needed);
        PRINTER_INFO_2W info;
        if (GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
            std::memcpy(&info, buffer.data(), sizeof(info));
            if (info.pDriverName) driver = info.pDriverName;
        }
    }
    ClosePrinter(printer);
    if (driver.empty()) return {};
    DWORD count = 0;
    EnumPrinterDriversW(nullptr, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed < sizeof(DRIVER_INFO_2W) || needed > 0x100000) return {};
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversW(nullptr, nullptr, 2, buffer.data(), needed, &needed, &count)) return {};
    for (DWORD i = 0; i < count && (i + 1) * sizeof(DRIVER_INFO_2W) <= buffer.size(); ++i) {
        DRIVER_INFO_2W info;
        std::memcpy(&info, buffer.data() + i * sizeof(DRIVER_INFO_2W), sizeof(info));
        if (info.pName && driver == info.pName && info.pConfigFile) return info.pConfigFile;
    }
    return {};
}

std::u16string FallbackFile() {
    WCHAR folder[MAX_PATH] = {};
    DWORD needed = 0;
    std::u16string environment = u"Windows NT x86";
    if (!GetPrinterDriverDirectoryW(nullptr, environment.data(), 1, reinterpret_cast<LPBYTE>(folder), sizeof(folder),
                                    &needed))
        return {};
    return std::u16string(folder) + u"\\3\\qorcpdn5.dll";
}

std::u16string ProductVersion(const std::u16string& file) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (!size) return {};
    std::vector<BYTE> record(size);
    if (!GetFileVersionInfoW(file.c_str(), handle, size, record.data())) return {};
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), u"\\VarFileInfo\\Translation", &value, &length) || length < 4) return {};
    WORD translation[2];
    std::memcpy(translation, value, sizeof(translation));
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\ProductVersion", translation[0], translation[1]);
    const std::u16string wide(path, path + std::strlen(path));
    if (!VerQueryValueW(record.data(), wide.c_str(), &value, &length) || !length) return {};
    std::u16string text(static_cast<const char16_t*>(value), length);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

}  // namespace

std::u16string InterfaceModuleVersion(const EXDEVMODE& current) {
    std::u16string file = ConfigFileOf(current);
    std::u16string version = file.empty() ? std::u16string() : ProductVersion(file);
    if (version.empty()) version = ProductVersion(FallbackFile());
    return version;
}

INT_PTR VersionBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* pages = reinterpret_cast<SheetPages*>(lparam);
        const EXDEVMODE& current = IsSheetState(pages->data.sheet) ? pages->data.sheet->current : pages->data.working;
        const std::u16string text = ItemText(box, IDC_VERSION_TEXT) + InterfaceModuleVersion(current);
        SetDlgItemTextW(box, IDC_VERSION_TEXT, text.c_str());
        return TRUE;
    }
    default:
        return QorUiPlainBoxProc(box, message, wparam, lparam);
    }
}
