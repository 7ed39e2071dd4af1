// The Options page of the device sheet: device fonts, the cutter and page
// mode, kept as printer data.
#include "pages.h"
#include "resource.h"
#include "sheet_window.h"
#include "show_groups.h"

#include "qor/ui/windows.h"

#include <vector>

namespace {

constexpr int kSlot = 2;

void ShowAll(HWND page, SheetPages& pages) {
    const OptionsPageView view = ShowOptionsPage(pages.data);
    CheckRadioButton(page, IDC_FONT_BITIMAGE, IDC_FONT_16DOT, view.font_radio);
    std::vector<std::u16string> names;
    std::vector<WORD> values;
    for (const ListEntry& entry : view.cutters) names.push_back(entry.name), values.push_back(entry.value);
    FillList(page, IDC_CUTTER, names.data(), values.data(), names.size(), view.cutter);
    CheckDlgButton(page, IDC_PAGE_MODE, view.page_mode ? BST_CHECKED : BST_UNCHECKED);
}

void Command(HWND page, SheetPages& pages, int id, int code) {
    EXDEVMODE& working = pages.data.working;
    if (id >= IDC_FONT_BITIMAGE && id <= IDC_FONT_16DOT && code == BN_CLICKED)
        working.Font = static_cast<BYTE>(id - IDC_FONT_BITIMAGE);
    else if (id == IDC_CUTTER && code == CBN_SELCHANGE)
        working.Cut = static_cast<BYTE>(SelectedValue(page, IDC_CUTTER, working.Cut));
    else if (id == IDC_PAGE_MODE && code == BN_CLICKED)
        working.Mode = IsDlgButtonChecked(page, IDC_PAGE_MODE) == BST_CHECKED ? 1 : 0;
    else if (id == IDC_OPTIONS_DEFAULTS && code == BN_CLICKED) {
        RestoreOptionsDefaults(&pages.data, PpdOf(pages));
        ShowAll(page, pages);
    } else {
        return;
    }
    MarkChanged(page, kSlot);
}

void Apply(HWND, SheetPages& pages) { ApplyOptionsPage(&pages.data, PpdOf(pages)); }

}  // namespace

INT_PTR OptionsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    static constexpr PageBehaviour kBehaviour{kSlot, kOptionsPage, ShowAll, Command, ShowAll, Apply};
    return RunPage(kBehaviour, page, message, wparam, lparam);
}
