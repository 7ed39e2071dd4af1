#include "devmode_ops.h"
#include "driver_strings.h"
#include "pages.h"
#include "show_groups.h"


namespace {

std::u16string NameOf(const WCHAR* name, size_t chars) {
    std::u16string text;
    for (size_t i = 0; i < chars && name[i]; ++i) text.push_back(name[i]);
    return text;
}

std::vector<ListEntry> Entries(const PpdEntry* table, WORD count) {
    std::vector<ListEntry> list;
    for (WORD i = 0; table && i < count; ++i) list.push_back({NameOf(table[i].Name, PPD_ENTRY_NAME_CHARS), table[i].Value});
    return list;
}

void SetPaper(EXDEVMODE* record, WORD code) {
    record->PaperCode = code;
    record->dm.dmPaperSize = static_cast<SHORT>(code);
}

}  // namespace

int IndexOfValue(const std::vector<ListEntry>& list, WORD value) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].value == value) return static_cast<int>(i);
    return -1;
}

PaperPageView ShowPaperPage(const PageData& data, const PpdData& ppd) {
    PaperPageView view;
    const DWORD show = ppd.Show;
    const EXDEVMODE& working = data.working;
    if (show & kShowPaperSize) {
        for (WORD i = 0; ppd.pPaper && i < ppd.NumPaper; ++i)
            view.papers.push_back({NameOf(ppd.pPaper[i].Name, PAPER_NAME_CHARS), ppd.pPaper[i].Code});
        if (show & kShowCustomPaper) view.papers.push_back({DriverString(kStringCustomPaper), PAPER_CODE_USER});
        view.paper = IndexOfValue(view.papers, working.PaperCode);
    }
    if (show & kShowKind) {
        view.kinds = Entries(ppd.pKind, ppd.NumKind);
        view.kind = IndexOfValue(view.kinds, working.Kind);
    }
    if (show & kShowSource) {
        view.sources = Entries(ppd.pBin, ppd.NumBin);
        view.source = IndexOfValue(view.sources, working.Bin);
    }
    view.landscape = working.dm.dmOrientation == DMORIENT_LANDSCAPE;
    return view;
}

bool ChoosePaper(PageData* data, WORD code) {
    if (code == PAPER_CODE_USER) return true;
    SetPaper(&data->working, code);
    return false;
}

void TakeCustomPaper(PageData* data) {
    EXDEVMODE& working = data->working;
    SetPaper(&working, PAPER_CODE_USER);
    const DWORD orientation = working.dm.dmOrientation;
    working.dm.dmOrientation = DMORIENT_PORTRAIT;
    SetPaperExtent(&working, working.UserPaper);
    working.dm.dmOrientation = static_cast<SHORT>(orientation);
}

int PaperAfterCancel(const PaperPageView& view, const PageData& data) {
    return IndexOfValue(view.papers, static_cast<WORD>(data.working.dm.dmPaperSize));
}

void RestorePaperDefaults(PageData* data, const PpdData& ppd) {
    EXDEVMODE& working = data->working;
    SetPaper(&working, static_cast<WORD>(ppd.DefPaper));
    working.dm.dmFields &= ~DWORD(DM_PAPERLENGTH | DM_PAPERWIDTH);
    working.Kind = ppd.DefKind;
    working.Bin = static_cast<WORD>(ppd.DefBin);
    working.dm.dmDefaultSource = ppd.DefBin;
    working.dm.dmOrientation = ppd.DefOrient;
}

void ApplyPaperPage(PageData* data, WORD kind, WORD source, const PpdData& ppd) {
    const DWORD show = ppd.Show;
    EXDEVMODE& current = data->sheet->current;
    const EXDEVMODE& working = data->working;
    if (show & kShowPaperSize) {
        if (working.PaperCode == PAPER_CODE_USER) {
            SetPaper(&current, PAPER_CODE_USER);
            current.dm.dmPaperWidth = working.dm.dmPaperWidth;
            current.dm.dmPaperLength = working.dm.dmPaperLength;
            current.dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
        } else {
            SetPaper(&current, working.PaperCode);
            current.dm.dmFields &= ~DWORD(DM_PAPERLENGTH | DM_PAPERWIDTH);
            current.dm.dmFields |= DM_PAPERSIZE;
            if (const PaperMetrix* paper = FindPaper(ppd.pPaper, ppd.NumPaper, working.PaperCode))
                current.CurrentPaper = *paper;
        }
        current.UserPaper = working.UserPaper;
    }
    if (show & kShowOrientation) current.dm.dmOrientation = working.dm.dmOrientation;
    if (show & kShowKind) current.Kind = static_cast<BYTE>(kind);
    if (show & kShowSource) {
        current.Bin = source;
        current.dm.dmDefaultSource = static_cast<SHORT>(source);
    }
    // The layout check may have changed the printer-wide fonts and mode.
    ApplyPrinterSettings(data, show & (kShowFonts | kShowPageMode));
    data->applied = true;
}
