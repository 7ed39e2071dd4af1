#include "devmode_setup.h"

#include "qor/registry.h"
#include "qor/strings.h"

#include <cstring>
#include <strings.h>
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

bool FindPaper(const PpdData& ppd, const std::string& wanted, PaperMetrix* paper) {
    for (WORD i = 0; i < ppd.NumPaper; ++i) {
        const PaperMetrix& entry = ppd.pPaper[i];
        const std::string name = Narrow(entry.Name, PAPER_NAME_CHARS);
        if (std::to_string(entry.Code) == wanted || strcasecmp(name.c_str(), wanted.c_str()) == 0) {
            *paper = entry;
            return true;
        }
    }
    return false;
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

std::unique_ptr<PpdBlock> LoadPrinterDescription(HANDLE printer, std::string* error) {
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!needed || !GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed)) {
        *error = "the printer's driver is not installed (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    DRIVER_INFO_2W info;
    std::memcpy(&info, buffer.data(), sizeof(info));
    auto block = std::make_unique<PpdBlock>();
    std::memset(block.get(), 0, sizeof(PpdBlock));
    PPD_AttachTables(block.get());
    if (!info.pDataFile || !PPD_Init(&block->data, info.pDataFile)) {
        *error = "the printer's description file cannot be read (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return block;
}

bool PrinterDevmode(HANDLE printer, const std::u16string& name, const PpdData& ppd, EXDEVMODE* devmode,
                    std::string* error) {
    bool have_stored = false;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed) {
        std::vector<BYTE> buffer(needed);
        if (GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
            PRINTER_INFO_2W info;
            std::memcpy(&info, buffer.data(), sizeof(info));
            const DEVMODEW* stored = info.pDevMode;
            if (stored && HasExDevModePrivatePart(stored)) {
                std::memcpy(devmode, stored, sizeof(EXDEVMODE));
                have_stored = devmode->SettingsSignature == EXDM_SETTINGS_SIGNATURE;
            }
        }
    }
    if (!have_stored && !EngSetDefaultEXDEVMODE(devmode, name.c_str(), &ppd)) {
        *error = "no device mode can be built from the printer's description";
        return false;
    }
    ReadPrinterByte(printer, u"FONT", &devmode->Font);
    ReadPrinterByte(printer, u"CUTTER", &devmode->Cut);
    ReadPrinterByte(printer, u"PAGEMODE", &devmode->Mode);
    return true;
}

bool ApplyOptions(const PrintOptions& options, const PpdData& ppd, EXDEVMODE* devmode, std::string* error) {
    if (options.paper) {
        PaperMetrix paper;
        if (!FindPaper(ppd, *options.paper, &paper)) {
            *error = "the printer has no paper '" + *options.paper + "' (see --list-papers)";
            return false;
        }
        devmode->CurrentPaper = paper;
        devmode->PaperCode = paper.Code;
        devmode->dm.dmPaperSize = static_cast<SHORT>(paper.Code);
        devmode->dm.dmFields |= 0x2;
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

std::string PaperList(const PpdData& ppd) {
    std::string text;
    for (WORD i = 0; i < ppd.NumPaper; ++i) {
        const PaperMetrix& paper = ppd.pPaper[i];
        const LONG area_width = paper.AreaWidth, area_length = paper.AreaLength;
        text += std::to_string(paper.Code) + "\t" + Narrow(paper.Name, PAPER_NAME_CHARS) + "\t" +
                std::to_string(area_width) + " x " + std::to_string(area_length) + " dots\n";
    }
    return text;
}
