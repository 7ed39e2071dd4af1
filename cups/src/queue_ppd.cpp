#include "queue_ppd.h"

#include "page_settings.h"

#include <cstdio>
#include <set>
#include <vector>

namespace qorcups {
namespace {

constexpr double kDpi = EXDM_RESOLUTION;

std::string Points(LONG dots) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(dots) * 72.0 / kDpi);
    return text;
}

std::string Narrow(const WCHAR* text, size_t max_chars) {
    std::string out;
    for (size_t i = 0; i < max_chars && text[i]; ++i) {
        const WCHAR c = text[i];
        // Translation strings may not hold quotes or control characters.
        out.push_back(c >= 0x20 && c < 0x7F && c != '"' ? static_cast<char>(c) : '?');
    }
    return out;
}

struct Choice {
    std::string keyword, text;
    int value;
};

// One option whose choices put `value + 1` into the header slot.
void PickOne(std::string* out, const char* keyword, const char* text, HeaderSlot slot,
             const std::vector<Choice>& choices, int default_value) {
    std::string default_keyword = choices.empty() ? "" : choices.front().keyword;
    for (const Choice& c : choices)
        if (c.value == default_value) default_keyword = c.keyword;
    *out += std::string("*OpenUI *") + keyword + "/" + text + ": PickOne\n";
    *out += std::string("*OrderDependency: 20 AnySetup *") + keyword + "\n";
    *out += std::string("*Default") + keyword + ": " + default_keyword + "\n";
    for (const Choice& c : choices)
        *out += "*" + std::string(keyword) + " " + c.keyword + "/" + c.text + ": \"<</cupsInteger" +
                std::to_string(slot) + " " + std::to_string(c.value + 1) + ">>setpagedevice\"\n";
    *out += std::string("*CloseUI: *") + keyword + "\n";
}

std::vector<Choice> Range(int low, int high, int step) {
    std::vector<Choice> choices;
    for (int v = low; v <= high; v += step > 0 ? step : 1) choices.push_back({std::to_string(v), std::to_string(v), v});
    return choices;
}

}  // namespace

std::string PaperKeyword(const PaperMetrix& paper) {
    const LONG width = paper.PaperWidth, length = paper.PaperLength;
    return std::to_string(width) + "x" + std::to_string(length) + "mm";
}

std::string WriteQueuePpd(const PpdData& ppd, const QueueModel& model, const EXDEVMODE& defaults) {
    std::string out =
        "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
        "*LanguageEncoding: ISOLatin1\n*PCFileName: \"QORZEMD.PPD\"\n*Manufacturer: \"QOR\"\n";
    out += "*Product: \"(" + model.model + ")\"\n*ModelName: \"QOR " + model.model + "\"\n";
    out += "*ShortNickName: \"QOR " + model.model + "\"\n*NickName: \"" + model.nickname + "\"\n";
    out +=
        "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n"
        "*FileSystem: False\n*Throughput: \"1\"\n*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
        "*cupsVersion: 2.4\n*cupsModelNumber: 1\n*cupsManualCopies: True\n"
        // The backend reads the raster itself: it prints through the suite's
        // graphics engine, which needs the print service's socket.
        "*cupsFilter: \"application/vnd.cups-raster 0 -\"\n";

    // Papers: keyword, code into the header, size of the physical page.
    struct Paper {
        std::string keyword, name, width, length, left, right;
        int code;
    };
    std::vector<Paper> papers;
    std::set<std::string> taken;
    std::string default_paper;
    for (WORD i = 0; i < ppd.NumPaper; ++i) {
        const PaperMetrix& p = ppd.pPaper[i];
        std::string keyword = PaperKeyword(p);
        if (!taken.insert(keyword).second) keyword += "-" + std::to_string(p.Code);
        taken.insert(keyword);
        const LONG phys_width = p.PhysWidth, phys_length = p.PhysLength, offset = p.OffsetX, area = p.AreaWidth;
        papers.push_back({keyword, Narrow(p.Name, PAPER_NAME_CHARS), Points(phys_width), Points(phys_length),
                          Points(offset), Points(offset + area), p.Code});
        if (p.Code == defaults.CurrentPaper.Code && default_paper.empty()) default_paper = keyword;
    }
    if (default_paper.empty() && !papers.empty()) default_paper = papers.front().keyword;
    for (const char* key : {"PageSize", "PageRegion"}) {
        out += std::string("*OpenUI *") + key + "/Media Size: PickOne\n*OrderDependency: 10 AnySetup *" + key + "\n";
        out += std::string("*Default") + key + ": " + default_paper + "\n";
        for (const Paper& p : papers)
            out += std::string("*") + key + " " + p.keyword + "/" + p.name + ": \"<</PageSize[" + p.width + " " +
                   p.length + "]/ImagingBBox null/cupsInteger" + std::to_string(kSlotPaper) + " " +
                   std::to_string(p.code + 1) + ">>setpagedevice\"\n";
        out += std::string("*CloseUI: *") + key + "\n";
    }
    out += "*DefaultImageableArea: " + default_paper + "\n";
    for (const Paper& p : papers)
        out += "*ImageableArea " + p.keyword + "/" + p.name + ": \"" + p.left + " 0 " + p.right + " " + p.length +
               "\"\n";
    out += "*DefaultPaperDimension: " + default_paper + "\n";
    for (const Paper& p : papers)
        out += "*PaperDimension " + p.keyword + "/" + p.name + ": \"" + p.width + " " + p.length + "\"\n";

    out +=
        "*OpenUI *Resolution/Resolution: PickOne\n*OrderDependency: 10 AnySetup *Resolution\n"
        "*DefaultResolution: 203dpi\n"
        "*Resolution 203dpi/203 dpi: \"<</HWResolution[203 203]/cupsBitsPerColor 8/cupsColorSpace 0"
        "/cupsColorOrder 0>>setpagedevice\"\n*CloseUI: *Resolution\n";

    const int dither = static_cast<int>(defaults.dm.dmDitherType);
    PickOne(&out, "QorDither", "Dithering", kSlotDither,
            {{"Threshold", "Threshold", 1},
             {"Clustered", "Clustered matrix", 2},
             {"Dispersed", "Dispersed matrix", 3},
             {"Patterns", "Patterns", 4},
             {"Diffusion", "Error diffusion", 5}},
            dither);
    const int bright_low = ppd.MAXBright ? ppd.MINBright : 50, bright_high = ppd.MAXBright ? ppd.MAXBright : 250;
    PickOne(&out, "QorBrightness", "Brightness", kSlotBright, Range(bright_low, bright_high, ppd.VALBright),
            defaults.Bright);
    PickOne(&out, "QorDensity", "Print density", kSlotDensity,
            Range(ppd.MINDensity, ppd.MAXDensity ? ppd.MAXDensity : 6, ppd.VALDensity), defaults.Density);
    PickOne(&out, "QorQuality", "Quality", kSlotQuality, {{"Normal", "Normal", 0}, {"High", "High", 1}},
            defaults.Quality ? 1 : 0);
    PickOne(&out, "QorCut", "Cut", kSlotCut, {{"Full", "Full cut", 0}, {"Partial", "Partial cut", 1}, {"None", "No cut", 2}},
            defaults.Cut > 2 ? 2 : defaults.Cut);
    PickOne(&out, "QorPageMode", "Page mode", kSlotMode, {{"Standard", "Standard mode", 0}, {"Page", "Page mode", 1}},
            defaults.Mode ? 1 : 0);
    std::vector<Choice> kinds;
    for (WORD i = 0; i < ppd.NumKind; ++i) {
        const DWORD value = ppd.pKind[i].Value;
        if (value > 255) continue;
        kinds.push_back({"Kind" + std::to_string(value), Narrow(ppd.pKind[i].Name, PPD_ENTRY_NAME_CHARS),
                         static_cast<int>(value)});
    }
    if (!kinds.empty()) PickOne(&out, "QorMediaKind", "Media kind", kSlotKind, kinds, defaults.Kind);

    out += "*DefaultFont: Courier\n*Font Courier: Standard \"(1.05)\" Standard ROM\n";
    return out;
}

}  // namespace qorcups
