// DrvDeviceCapabilities: what the printer offers, answered from the
// description and the effective device mode.
#include "context.h"
#include "current_devmode.h"
#include "driver_strings.h"

#include "qor/ddiui.h"
#include "qor/guard.h"
#include "qor/module.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The table's papers followed by the user-defined paper, which every list
// ends with whether or not the description has presets.
std::vector<PaperMetrix> PaperList(const PpdData& ppd, const EXDEVMODE& current) {
    std::vector<PaperMetrix> papers;
    for (WORD i = 0; ppd.pPaper && i < ppd.NumPaper; ++i) papers.push_back(ppd.pPaper[i]);
    PaperMetrix user = current.UserPaper;
    user.Code = PAPER_CODE_USER;
    papers.push_back(user);
    return papers;
}

LONG Tenths(LONG mm) { return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(mm) * 10, 0, 0x7FFFFFFF)); }

void WritePoint(void* output, size_t index, LONG x, LONG y) {
    const DC_POINT point{x, y};
    std::memcpy(static_cast<BYTE*>(output) + index * sizeof(point), &point, sizeof(point));
}

void WriteWord(void* output, size_t index, WORD value) {
    std::memcpy(static_cast<BYTE*>(output) + index * sizeof(value), &value, sizeof(value));
}

// A name into a fixed slot of `chars` wide characters, zero-filled.
void WriteName(void* output, size_t index, size_t chars, const WCHAR* name, size_t name_chars) {
    std::vector<WCHAR> slot(chars, 0);
    for (size_t i = 0; i + 1 < chars && i < name_chars && name[i]; ++i) slot[i] = name[i];
    std::memcpy(static_cast<BYTE*>(output) + index * chars * sizeof(WCHAR), slot.data(), chars * sizeof(WCHAR));
}

// Extremes over the list, compared as the 16-bit values the platform keeps.
LONG Extent(const std::vector<PaperMetrix>& papers, void* output, bool largest) {
    WORD width = largest ? 0 : 32767, length = largest ? 0 : 32767;
    for (const PaperMetrix& paper : papers) {
        const WORD w = static_cast<WORD>(paper.PaperWidth), l = static_cast<WORD>(paper.PaperLength);
        width = largest ? std::max(width, w) : std::min(width, w);
        length = largest ? std::max(length, l) : std::min(length, l);
    }
    if (output) WritePoint(output, 0, LONG(width) * 10, LONG(length) * 10);
    return static_cast<LONG>(papers.size());
}

LONG Answer(WORD capability, void* output, const PpdData& ppd, const EXDEVMODE& current) {
    const std::vector<PaperMetrix> papers = PaperList(ppd, current);
    const LONG count = static_cast<LONG>(papers.size());
    const WORD bins = ppd.pBin ? ppd.NumBin : 0;
    switch (capability) {
    case DC_FIELDS: return static_cast<LONG>(current.dm.dmFields);
    case DC_PAPERS:
        for (size_t i = 0; output && i < papers.size(); ++i) WriteWord(output, i, papers[i].Code);
        return count;
    case DC_PAPERSIZE:
        for (size_t i = 0; output && i < papers.size(); ++i)
            WritePoint(output, i, Tenths(papers[i].PaperWidth), Tenths(papers[i].PaperLength));
        return count;
    case DC_MINEXTENT: return Extent(papers, output, false);
    case DC_MAXEXTENT: return Extent(papers, output, true);
    case DC_BINS:
        for (WORD i = 0; output && i < bins; ++i) WriteWord(output, i, ppd.pBin[i].Value);
        return bins;
    case DC_DUPLEX: return 0;
    case DC_SIZE: return current.dm.dmSize;
    case DC_EXTRA: return current.dm.dmDriverExtra;
    case DC_VERSION: return current.dm.dmSpecVersion;
    case DC_DRIVER: return current.dm.dmDriverVersion;
    case DC_BINNAMES:
        for (WORD i = 0; output && i < bins; ++i)
            WriteName(output, i, CCHBINNAME, ppd.pBin[i].Name, PPD_ENTRY_NAME_CHARS);
        return bins;
    case DC_ENUMRESOLUTIONS:
        if (output) WritePoint(output, 0, EXDM_RESOLUTION, EXDM_RESOLUTION);
        return 1;
    case DC_FILEDEPENDENCIES:
        if (output) WriteWord(output, 0, 0);
        return 0;
    case DC_TRUETYPE: return 0;
    case DC_PAPERNAMES:
        if (output) {
            for (size_t i = 0; i + 1 < papers.size(); ++i)
                WriteName(output, i, CCHPAPERNAME, papers[i].Name, PAPER_NAME_CHARS);
            const std::u16string custom = DriverString(kStringCustomPaper);
            WriteName(output, papers.size() - 1, CCHPAPERNAME, custom.c_str(), custom.size());
        }
        return count;
    case DC_ORIENTATION: return 270;
    case DC_COPIES: return 1;
    default: return -1;
    }
}

}  // namespace

extern "C" QORAPI LONG DrvDeviceCapabilities(HANDLE printer, LPWSTR device_name, WORD capability, void* output,
                                             DEVMODEW* devmode) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        if (capability < DC_FIELDS || capability > DC_COPIES) return -1;
        const Description description = LoadPrinterDescription();
        EXDEVMODE current;
        std::memset(&current, 0, sizeof(current));
        BuildCurrentDevMode(&current, devmode, printer, device_name, description.ppd());
        return Answer(capability, output, description.ppd(), current);
    });
}
