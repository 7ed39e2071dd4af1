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

void WriteResolutionBlock(EXDEVMODE* record) {
    record->ResolutionBlock = {};
    record->ResolutionBlock.Signature = EXDM_RESOLUTION_SIGNATURE;
    record->ResolutionBlock.DefaultPaper = static_cast<WORD>(record->dm.dmPaperSize);
    record->ResolutionBlock.XResolution = EXDM_RESOLUTION;
    record->ResolutionBlock.YResolution = EXDM_RESOLUTION;
}

void WriteSettingsDefaults(EXDEVMODE* record, const PpdData& ppd) {
    record->SettingsSignature = EXDM_SETTINGS_SIGNATURE;
    record->PrivateSize = EXDM_PRIVATE_SIZE;
    record->PrivateSize2 = EXDM_PRIVATE_SIZE;
    record->PaperCode = static_cast<WORD>(ppd.DefPaper);
    record->Bin = static_cast<WORD>(ppd.DefBin);
    record->Kind = ppd.DefKind;
    record->Density = ppd.DefDensity;
    record->Quality = ppd.DefQuality;
    record->Bright = ppd.DefBright;
    record->Font = ppd.DefFont;
    record->Cut = ppd.DefCut;
    record->Mode = ppd.DefMode;
    record->Resv01 = ppd.DefResv01, record->Resv02 = ppd.DefResv02, record->Resv03 = ppd.DefResv03;
    record->Resv04 = ppd.DefResv04, record->Resv05 = ppd.DefResv05, record->Resv06 = ppd.DefResv06;
    record->Resv07 = ppd.DefResv07, record->Resv08 = ppd.DefResv08, record->Resv09 = ppd.DefResv09;
    record->Resv10 = ppd.DefResv10;
}

void WritePublicDefaults(EXDEVMODE* record, const PpdData& ppd) {
    std::memset(record, 0, sizeof(*record));
    DEVMODEW& dm = record->dm;
    dm.dmSpecVersion = EXDM_SPEC_VERSION;
    dm.dmDriverVersion = EXDM_DRIVER_VERSION;
    dm.dmSize = EXDM_PUBLIC_SIZE;
    dm.dmDriverExtra = EXDM_PRIVATE_SIZE;
    dm.dmFields = EXDM_DEFAULT_FIELDS | DM_PAPERLENGTH | DM_PAPERWIDTH;
    dm.dmOrientation = ppd.DefOrient;
    dm.dmPaperSize = ppd.DefPaper;
    if (ppd.NumPaper && ppd.pPaper) SetPaperExtent(record, ppd.pPaper[0]);
    dm.dmScale = 100;
    dm.dmCopies = 1;
    dm.dmPrintQuality = EXDM_RESOLUTION;
    dm.dmColor = DMCOLOR_COLOR;
    dm.dmDuplex = DMDUP_SIMPLEX;
    dm.dmYResolution = EXDM_RESOLUTION;
    dm.dmBitsPerPel = 24;
    dm.dmDitherType = static_cast<DWORD>(static_cast<LONG>(ppd.DefDither));
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
    if (!GetPrinterDevMode(printer_name, destination)) WritePublicDefaults(destination, ppd);
    if (printer_name) {
        CopyName(destination->dm.dmDeviceName, 32, printer_name);
        CopyName(destination->PrinterName, 64, printer_name);
    }
    WriteResolutionBlock(destination);
    destination->dm.dmDefaultSource = ppd.DefBin;
    if (destination->SettingsSignature != EXDM_SETTINGS_SIGNATURE) WriteSettingsDefaults(destination, ppd);
    if (ppd.NumPaper && ppd.pPaper) destination->CurrentPaper = ppd.pPaper[0];
    if (ppd.NumUserDef && ppd.pUserDef) {
        // An index beyond the presets takes the first one.
        const WORD index = ppd.DefUserPaper >= 0 && ppd.DefUserPaper < ppd.NumUserDef ? ppd.DefUserPaper : 0;
        destination->UserPaper = ppd.pUserDef[index];
    }
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
