#include "current_devmode.h"

#include "devmode_ops.h"

#include "qor/registry.h"
#include "qor/spooler.h"
#include "qor/strings.h"
#include "qor/sysinfo.h"

#include <cstring>
#include <optional>

namespace {

// The interface driver's own marker for records that only name a form.
constexpr DWORD kFormRecordBit = 0x10000000;

class OpenedPrinter {
public:
    explicit OpenedPrinter(LPCWSTR name) {
        if (name && !OpenPrinterW(const_cast<LPWSTR>(name), &handle_, nullptr)) handle_ = nullptr;
    }
    ~OpenedPrinter() {
        if (handle_) ClosePrinter(handle_);
    }
    OpenedPrinter(const OpenedPrinter&) = delete;
    OpenedPrinter& operator=(const OpenedPrinter&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

void CopyName(WCHAR* field, size_t chars, LPCWSTR name) {
    size_t i = 0;
    for (; name && name[i] && i + 1 < chars; ++i) field[i] = name[i];
    for (; i < chars; ++i) field[i] = 0;
}

// A printer-data value's low byte. A read refused as too small is tried
// again with the size the spooler asks for, a few times at most.
std::optional<BYTE> ReadSettingByte(HANDLE printer, const char16_t* name) {
    std::vector<BYTE> buffer(sizeof(DWORD));
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD type = 0, needed = 0;
        const DWORD status = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), &needed);
        if (status == ERROR_SUCCESS) {
            if (!needed) return std::nullopt;
            return buffer[0];
        }
        if (status != ERROR_MORE_DATA || needed <= buffer.size() || needed > 4096) return std::nullopt;
        buffer.assign(needed, 0);
    }
    return std::nullopt;
}

// The description's defaults, with the paper's extent in the public part.
void WriteDefaults(EXDEVMODE* record, const PpdData& ppd) {
    EngSetDefaultEXDEVMODE(record, nullptr, &ppd);
    record->dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    if (ppd.NumPaper && ppd.pPaper) SetPaperExtent(record, ppd.pPaper[0]);
}

bool MajorVersionAbove4() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExW(&version) && version.dwMajorVersion > 4;
}

}  // namespace

bool ReadPrinterInfo(HANDLE printer, std::vector<BYTE>* buffer, PRINTER_INFO_2W* info) {
    if (!printer) return false;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_2W) || needed > 0x100000) return false;
    buffer->assign(needed, 0);
    if (!GetPrinterW(printer, 2, buffer->data(), needed, &needed)) return false;
    std::memcpy(info, buffer->data(), sizeof(*info));
    return true;
}

const DEVMODEW* StoredDevMode(const std::vector<BYTE>& buffer, const PRINTER_INFO_2W& info) {
    const auto* start = reinterpret_cast<const BYTE*>(info.pDevMode);
    if (!start || start < buffer.data() || start >= buffer.data() + buffer.size()) return nullptr;
    const size_t room = static_cast<size_t>(buffer.data() + buffer.size() - start);
    if (room < offsetof(DEVMODEW, dmFields) + sizeof(DWORD)) return nullptr;
    const auto* devmode = reinterpret_cast<const DEVMODEW*>(start);
    if (size_t(devmode->dmSize) + devmode->dmDriverExtra > room) return nullptr;
    return devmode;
}

BOOL GetPrinterDevMode(LPCWSTR printer_name, EXDEVMODE* destination) {
    OpenedPrinter printer(printer_name);
    std::vector<BYTE> buffer;
    PRINTER_INFO_2W info;
    if (!destination || !ReadPrinterInfo(printer.get(), &buffer, &info)) return FALSE;
    const DEVMODEW* stored = StoredDevMode(buffer, info);
    // A shorter record is not taken whole; its public fields still reach
    // the effective record through the merge.
    if (!stored || (stored->dmFields & kFormRecordBit) || stored->dmSize != EXDM_PUBLIC_SIZE ||
        stored->dmDriverExtra < EXDM_PRIVATE_SIZE)
        return FALSE;
    std::memcpy(destination, stored, EXDM_SIZE);
    destination->dm.dmDriverExtra = EXDM_PRIVATE_SIZE;
    return TRUE;
}

void SetDefaultDevMode(EXDEVMODE* destination, LPCWSTR printer_name, const PpdData& ppd) {
    if (!GetPrinterDevMode(printer_name, destination)) WriteDefaults(destination, ppd);
    if (printer_name) {
        CopyName(destination->dm.dmDeviceName, 32, printer_name);
        CopyName(destination->PrinterName, 64, printer_name);
    }
    ExDevModeWriteResolutionBlock(destination);
    destination->dm.dmDefaultSource = ppd.DefBin;
    if (destination->SettingsSignature != EXDM_SETTINGS_SIGNATURE) ExDevModeWriteSettingsDefaults(destination, &ppd);
    ExDevModeWriteDefaultPapers(destination, &ppd);
}

void BuildCurrentDevMode(EXDEVMODE* record, const DEVMODEW* caller, HANDLE printer, LPCWSTR printer_name,
                         const PpdData& ppd) {
    if (record->SettingsSignature != EXDM_SETTINGS_SIGNATURE) SetDefaultDevMode(record, printer_name, ppd);
    if (printer && MajorVersionAbove4()) {
        std::vector<BYTE> buffer;
        PRINTER_INFO_2W info;
        if (ReadPrinterInfo(printer, &buffer, &info))
            if (const DEVMODEW* stored = StoredDevMode(buffer, info)) MergeDevMode(record, stored, ppd);
    }
    MergeDevMode(record, caller, ppd);

    record->SettingsSignature = EXDM_SETTINGS_SIGNATURE;
    record->Font = ppd.DefFont;
    record->Cut = ppd.DefCut;
    record->Mode = ppd.DefMode;
    OpenedPrinter named(printer_name);
    if (named.get()) {
        if (auto font = ReadSettingByte(named.get(), kFontValue)) record->Font = *font;
        if (auto cut = ReadSettingByte(named.get(), kCutterValue)) record->Cut = *cut;
        if (auto mode = ReadSettingByte(named.get(), kPageModeValue)) record->Mode = *mode;
    }
    record->CodePage = static_cast<WORD>(GetACP());
}

bool WritePrinterSetting(HANDLE printer, const char16_t* name, DWORD value) {
    BYTE data[sizeof(DWORD)];
    std::memcpy(data, &value, sizeof(value));
    return printer && SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_DWORD, data, sizeof(data)) == ERROR_SUCCESS;
}
