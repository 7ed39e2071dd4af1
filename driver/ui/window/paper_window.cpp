// The Paper page: paper size, type, orientation and source, with the
// custom paper size and version boxes.
#include "pages.h"
#include "resource.h"
#include "sheet_window.h"
#include "show_groups.h"

#include "qor/ui/windows.h"

#include <vector>

namespace {

constexpr int kSlot = 0;

void FillEntries(HWND page, int id, const std::vector<ListEntry>& entries, int selected) {
    std::vector<std::u16string> names;
    std::vector<WORD> values;
    for (const ListEntry& entry : entries) names.push_back(entry.name), values.push_back(entry.value);
    FillList(page, id, names.data(), values.data(), entries.size(), selected);
}

void ShowOrientation(HWND page, const EXDEVMODE& working) {
    CheckRadioButton(page, IDC_PORTRAIT, IDC_LANDSCAPE,
                     working.dm.dmOrientation == DMORIENT_LANDSCAPE ? IDC_LANDSCAPE : IDC_PORTRAIT);
}

void ShowAll(HWND page, SheetPages& pages) {
    const PaperPageView view = ShowPaperPage(pages.data, PpdOf(pages));
    FillEntries(page, IDC_PAPER_SIZE, view.papers, view.paper);
    FillEntries(page, IDC_PAPER_TYPE, view.kinds, view.kind);
    FillEntries(page, IDC_PAPER_SOURCE, view.sources, view.source);
    ShowOrientation(page, pages.data.working);
}

void PaperChosen(HWND page, SheetPages& pages) {
    const int code = SelectedValue(page, IDC_PAPER_SIZE, -1);
    if (code < 0) return;
    if (!ChoosePaper(&pages.data, static_cast<WORD>(code))) return;
    if (DialogBoxParamW(DriverModule(), MAKEINTRESOURCEW(IDD_CUSTOM_PAPER), page, CustomPaperProc,
                        reinterpret_cast<LPARAM>(&pages)) == IDOK) {
        TakeCustomPaper(&pages.data);
        return;
    }
    const PaperPageView view = ShowPaperPage(pages.data, PpdOf(pages));
    SendDlgItemMessageW(page, IDC_PAPER_SIZE, CB_SETCURSEL, static_cast<WPARAM>(PaperAfterCancel(view, pages.data)), 0);
}

void Command(HWND page, SheetPages& pages, int id, int code) {
    EXDEVMODE& working = pages.data.working;
    switch (id) {
    case IDC_PAPER_SIZE:
        if (code != CBN_SELCHANGE) return;
        PaperChosen(page, pages);
        break;
    case IDC_PAPER_TYPE:
        if (code != CBN_SELCHANGE) return;
        working.Kind = static_cast<BYTE>(SelectedValue(page, id, working.Kind));
        break;
    case IDC_PAPER_SOURCE:
        if (code != CBN_SELCHANGE) return;
        working.Bin = static_cast<WORD>(SelectedValue(page, id, working.Bin));
        working.dm.dmDefaultSource = static_cast<SHORT>(working.Bin);
        break;
    case IDC_PORTRAIT:
    case IDC_LANDSCAPE:
        if (code != BN_CLICKED) return;
        working.dm.dmOrientation = id == IDC_LANDSCAPE ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        break;
    case IDC_VERSION:
        if (code == BN_CLICKED)
            DialogBoxParamW(DriverModule(), MAKEINTRESOURCEW(IDD_VERSION), page, VersionBoxProc,
                            reinterpret_cast<LPARAM>(&pages));
        return;
    case IDC_PAPER_DEFAULTS:
        if (code != BN_CLICKED) return;
        RestorePaperDefaults(&pages.data, PpdOf(pages));
        ShowAll(page, pages);
        break;
    default:
        return;
    }
    MarkChanged(page, kSlot);
}

void Apply(HWND page, SheetPages& pages) {
    const WORD kind = static_cast<WORD>(SelectedValue(page, IDC_PAPER_TYPE, pages.data.working.Kind));
    const WORD source = static_cast<WORD>(SelectedValue(page, IDC_PAPER_SOURCE, pages.data.working.Bin));
    ApplyPaperPage(&pages.data, kind, source, PpdOf(pages));
}

void Activated(HWND page, SheetPages& pages) { ShowOrientation(page, pages.data.working); }

}  // namespace

INT_PTR PaperPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    static constexpr PageBehaviour kBehaviour{kSlot, kPaperPage, ShowAll, Command, Activated, Apply};
    return RunPage(kBehaviour, page, message, wparam, lparam);
}
