#include "common/printer_defaults.h"

#include "common/printer_description.h"
#include "common/printer_report.h"

#include "qor/registry.h"
#include "qor/spooler.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace qor::defaults {

namespace {

// The printer's level-2 record; its strings and device mode point into `buffer`.
bool read_info(HANDLE printer, std::vector<BYTE>* buffer, PRINTER_INFO_2W* info) {
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_2W)) return false;
    buffer->assign(needed, 0);
    if (!GetPrinterW(printer, 2, buffer->data(), needed, &needed)) return false;
    std::memcpy(info, buffer->data(), sizeof(*info));
    return true;
}

std::u16string printer_name_of(HANDLE printer) {
    std::vector<BYTE> buffer;
    PRINTER_INFO_2W info;
    if (!read_info(printer, &buffer, &info) || !info.pPrinterName) return {};
    return info.pPrinterName;
}

// The printer's level-2 record with `devmode` in place of its own.
bool store_devmode(HANDLE printer, EXDEVMODE* devmode) {
    std::vector<BYTE> buffer;
    PRINTER_INFO_2W info;
    if (!read_info(printer, &buffer, &info)) return false;
    info.pDevMode = &devmode->dm;
    return SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(&info), 0) != FALSE;
}

std::string describe(const setbank::Bytes& settings, report::Source source, const PaperMetrix& paper) {
    char roll[16];
    std::snprintf(roll, sizeof roll, "%g", setbank::paper_width_hundredths(settings) / 100.0);
    std::string name;
    for (size_t i = 0; i < PAPER_NAME_CHARS && paper.Name[i]; ++i)
        name.push_back(paper.Name[i] < 0x80 ? static_cast<char>(paper.Name[i]) : '?');
    return std::string(roll) + " mm paper (" +
           (source == report::Source::SettingRead ? "the printer's paper-width setting" : "its model's factory setting") +
           "): default paper " + std::to_string(paper.Code) + " \"" + name + "\", " + std::to_string(paper.AreaWidth) +
           " dots printable";
}

}  // namespace

bool paper_fits(const PaperMetrix& paper, int roll_mm) { return static_cast<int>(paper.PaperWidth) <= roll_mm; }

const PaperMetrix* default_paper(const PpdData& ppd, int roll_mm) {
    const PaperMetrix* best = nullptr;
    for (WORD i = 0; i < ppd.NumPaper && ppd.pPaper; ++i) {
        const PaperMetrix& paper = ppd.pPaper[i];
        if (!paper_fits(paper, roll_mm)) continue;
        if (!best || paper.PaperWidth > best->PaperWidth ||
            (paper.PaperWidth == best->PaperWidth && paper.PaperLength > best->PaperLength))
            best = &paper;
    }
    return best;
}

bool build_devmode(const PpdData& ppd, const std::u16string& printer_name, const setbank::Bytes& settings,
                   EXDEVMODE* devmode) {
    const PaperMetrix* paper = default_paper(ppd, setbank::paper_width_mm(settings));
    if (!paper || !devmode || !EngSetDefaultEXDEVMODE(devmode, printer_name.c_str(), &ppd)) return false;
    devmode->CurrentPaper = *paper;
    devmode->PaperCode = paper->Code;
    devmode->dm.dmPaperSize = static_cast<SHORT>(paper->Code);
    devmode->dm.dmFields |= DM_PAPERSIZE;
    devmode->ResolutionBlock.DefaultPaper = paper->Code;
    return true;
}

bool stored_devmode(HANDLE printer, EXDEVMODE* devmode) {
    std::vector<BYTE> buffer;
    PRINTER_INFO_2W info;
    if (!read_info(printer, &buffer, &info)) return false;
    const DEVMODEW* stored = info.pDevMode;
    if (!stored || !HasExDevModePrivatePart(stored) || size_t{stored->dmSize} + stored->dmDriverExtra < sizeof(EXDEVMODE))
        return false;
    std::memcpy(devmode, stored, sizeof(EXDEVMODE));
    return devmode->SettingsSignature == EXDM_SETTINGS_SIGNATURE;
}

std::optional<setbank::Bytes> stored_settings(HANDLE printer) {
    std::u16string name = setbank::kPrinterDataName;
    setbank::Bytes bytes{};
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer, name.data(), &type, bytes.data(), static_cast<DWORD>(bytes.size()), &needed) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || needed != bytes.size())
        return std::nullopt;
    return bytes;
}

bool install(HANDLE printer, std::string* report) {
    const std::optional<report::PrinterSettings> settings = report::ask_printer(printer);
    if (!settings) {
        *report = "the printer did not report its paper; it keeps the description's default paper";
        return false;
    }
    std::unique_ptr<PpdBlock> ppd = load_printer_description(printer, report);
    if (!ppd) return false;
    EXDEVMODE devmode;
    if (!build_devmode(ppd->data, printer_name_of(printer), settings->bytes, &devmode)) {
        *report = "no paper of the printer's description fits its " +
                  std::to_string(setbank::paper_width_mm(settings->bytes)) + " mm roll";
        return false;
    }
    std::u16string name = setbank::kPrinterDataName;
    setbank::Bytes bytes = settings->bytes;
    if (SetPrinterDataW(printer, name.data(), REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())) !=
            ERROR_SUCCESS ||
        !store_devmode(printer, &devmode)) {
        *report = "the printer's defaults could not be stored (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    *report = describe(settings->bytes, settings->source, devmode.CurrentPaper);
    return true;
}

}  // namespace qor::defaults
