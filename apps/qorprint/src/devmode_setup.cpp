#include "devmode_setup.h"

#include "common/printer_defaults.h"
#include "common/printer_report.h"

#include "qor/ddiui.h"
#include "qor/registry.h"
#include "qor/strings.h"

#include <strings.h>

#include <cstdio>
#include <vector>

namespace {

std::string Narrow(const WCHAR* text, size_t max_chars) {
    std::string out;
    for (size_t i = 0; i < max_chars && text[i]; ++i) out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return out;
}

bool ReadPrinterByte(HANDLE printer, const char16_t* value, BYTE* out) {
    DWORD type = 0, data = 0, needed = 0;
    std::u16string name(value);
    if (GetPrinterDataW(printer, name.data(), &type, reinterpret_cast<LPBYTE>(&data), sizeof(data), &needed) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    *out = static_cast<BYTE>(data & 0xFF);
    return true;
}

std::string PaperName(const PaperMetrix& paper) { return Narrow(paper.Name, PAPER_NAME_CHARS); }

bool FindPaper(const PpdData& ppd, const std::string& wanted, PaperMetrix* paper) {
    for (WORD i = 0; i < ppd.NumPaper; ++i) {
        const PaperMetrix& entry = ppd.pPaper[i];
        if (std::to_string(entry.Code) == wanted || strcasecmp(PaperName(entry).c_str(), wanted.c_str()) == 0) {
            *paper = entry;
            return true;
        }
    }
    return false;
}

void TakePaper(const PaperMetrix& paper, EXDEVMODE* devmode) {
    devmode->CurrentPaper = paper;
    devmode->PaperCode = paper.Code;
    devmode->dm.dmPaperSize = static_cast<SHORT>(paper.Code);
    devmode->dm.dmFields |= DM_PAPERSIZE;
}

// A setting the description bounds; a zero upper bound means the
// description gives none and `fallback` holds.
bool WithinRange(const char* option, int value, int low, int high, int fallback, std::string* error) {
    if (high == 0) high = fallback;
    if (value >= low && value <= high) return true;
    *error = std::string(option) + " must lie within " + std::to_string(low) + ".." + std::to_string(high) +
             " for this printer";
    return false;
}

}  // namespace

bool PrinterDevmode(HANDLE printer, const std::u16string& name, const PpdData& ppd, EXDEVMODE* devmode,
                    std::optional<qor::setbank::Bytes>* settings, std::string* error) {
    *settings = qor::defaults::stored_settings(printer);
    if (!*settings) {
        // A printer added before it could report: ask it now.
        if (auto reported = qor::report::ask_printer(printer)) *settings = reported->bytes;
    }
    const bool have_stored = qor::defaults::stored_devmode(printer, devmode);
    if (!have_stored && !(*settings && qor::defaults::build_devmode(ppd, name, **settings, devmode)) &&
        !EngSetDefaultEXDEVMODE(devmode, name.c_str(), &ppd)) {
        *error = "no device mode can be built from the printer's description";
        return false;
    }
    // A stored paper the roll cannot take gives way to the roll's own.
    if (*settings && !qor::defaults::paper_fits(devmode->CurrentPaper, qor::setbank::paper_width_mm(**settings))) {
        if (const PaperMetrix* paper = qor::defaults::default_paper(ppd, qor::setbank::paper_width_mm(**settings)))
            TakePaper(*paper, devmode);
    }
    ReadPrinterByte(printer, u"FONT", &devmode->Font);
    ReadPrinterByte(printer, u"CUTTER", &devmode->Cut);
    ReadPrinterByte(printer, u"PAGEMODE", &devmode->Mode);
    devmode->CodePage = static_cast<WORD>(GetACP());
    return true;
}

bool ApplyOptions(const PrintOptions& options, const PpdData& ppd, std::optional<int> roll_mm, EXDEVMODE* devmode,
                  std::string* error) {
    if (options.paper) {
        PaperMetrix paper;
        if (!FindPaper(ppd, *options.paper, &paper)) {
            *error = "the printer has no paper '" + *options.paper + "' (see --list-papers)";
            return false;
        }
        if (roll_mm && !qor::defaults::paper_fits(paper, *roll_mm)) {
            *error = "paper " + std::to_string(paper.Code) + " \"" + PaperName(paper) + "\" is " +
                     std::to_string(paper.PaperWidth) + " mm wide, but the printer's paper is " +
                     std::to_string(*roll_mm) + " mm wide (see --list-papers)";
            return false;
        }
        TakePaper(paper, devmode);
    }
    if (options.bright) {
        if (!WithinRange("--brightness", *options.bright, ppd.MINBright, ppd.MAXBright, 255, error)) return false;
        devmode->Bright = static_cast<BYTE>(*options.bright);
    }
    if (options.density) {
        if (!WithinRange("--density", *options.density, ppd.MINDensity, ppd.MAXDensity, 6, error)) return false;
        devmode->Density = static_cast<BYTE>(*options.density);
    }
    if (options.orientation) devmode->dm.dmOrientation = static_cast<SHORT>(*options.orientation);
    if (options.dither) devmode->dm.dmDitherType = static_cast<DWORD>(*options.dither);
    if (options.quality) devmode->Quality = static_cast<BYTE>(*options.quality);
    if (options.font) devmode->Font = static_cast<BYTE>(*options.font);
    if (options.cut) devmode->Cut = static_cast<BYTE>(*options.cut);
    if (options.mode) devmode->Mode = static_cast<BYTE>(*options.mode);
    if (options.kind) devmode->Kind = static_cast<BYTE>(*options.kind);
    if (devmode->dm.dmOrientation == DMORIENT_LANDSCAPE && devmode->Font != 0 && devmode->Mode == 0) {
        if (options.mode && *options.mode == 0) {
            *error = "device-font text in landscape needs page mode; use --mode page or --device-font none";
            return false;
        }
        devmode->Mode = 1;
    }
    return true;
}

bool PaperList(const std::u16string& printer, std::optional<int> roll_mm, std::string* text, std::string* error) {
    const LONG count = DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERS, nullptr, nullptr);
    // The driver's own bound on the list is far below this; more is a fault.
    constexpr LONG kMostPapers = 4096;
    if (count < 0 || count > kMostPapers) {
        *error = "the printer's driver does not list its papers";
        return false;
    }
    std::vector<WORD> codes(static_cast<size_t>(count));
    std::vector<WCHAR> names(static_cast<size_t>(count) * CCHPAPERNAME);
    std::vector<DC_POINT> sizes(static_cast<size_t>(count));
    if (count > 0 &&
        (DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERS, reinterpret_cast<LPWSTR>(codes.data()), nullptr) !=
             count ||
         DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERNAMES, names.data(), nullptr) != count ||
         DeviceCapabilitiesW(printer.c_str(), nullptr, DC_PAPERSIZE, reinterpret_cast<LPWSTR>(sizes.data()),
                             nullptr) != count)) {
        *error = "the printer's driver gives paper lists that disagree";
        return false;
    }
    text->clear();
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == PAPER_CODE_USER) continue;
        const LONG width = sizes[i].x, length = sizes[i].y;  // tenths of a millimetre
        if (roll_mm && width > *roll_mm * 10) continue;
        char size[64];
        std::snprintf(size, sizeof size, "%g x %g mm", width / 10.0, length / 10.0);
        *text += std::to_string(codes[i]) + "\t" + Narrow(&names[i * CCHPAPERNAME], CCHPAPERNAME) + "\t" + size + "\n";
    }
    return true;
}

bool AskProperties(const std::u16string& name, EXDEVMODE* devmode, bool* cancelled, std::string* error) {
    *cancelled = false;
    std::u16string printer_name = name;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(printer_name.data(), &printer, nullptr)) {
        *error = "the printer cannot be opened for its properties";
        return false;
    }
    EXDEVMODE edited = *devmode;
    const LONG answer = DocumentPropertiesW(nullptr, printer, printer_name.data(), &edited.dm, &devmode->dm,
                                            DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT);
    ClosePrinter(printer);
    if (answer == 1) {
        *devmode = edited;
        return true;
    }
    *cancelled = answer == 2;
    *error = *cancelled ? "cancelled in the printer's properties; nothing was printed"
                        : "the printer's properties cannot be shown (error " + std::to_string(GetLastError()) + ")";
    return false;
}
