// The custom paper size box: a width preset and a typed length, checked
// before the Paper page takes them.
#include "custom_paper.h"
#include "driver_strings.h"
#include "resource.h"
#include "sheet_window.h"

#include "qor/ui/windows.h"

#include <memory>
#include <string>
#include <vector>

namespace {

struct BoxState {
    SheetPages* pages;
    CustomPaperBox box;
};

BoxState* StateOf(HWND box) { return reinterpret_cast<BoxState*>(GetWindowLongPtrW(box, DWLP_USER)); }

void ShowLength(HWND box, const BoxState& state) {
    SetDlgItemTextW(box, IDC_USER_LENGTH, state.box.length_text().c_str());
}

std::u16string WithNumber(std::u16string text, int number) {
    const size_t at = text.find(u"%d");
    if (at == std::u16string::npos) return text;
    const std::string digits = std::to_string(number);
    return text.replace(at, 2, std::u16string(digits.begin(), digits.end()));
}

void Initialise(HWND box, BoxState& state) {
    const PpdData& ppd = PpdOf(*state.pages);
    std::vector<std::u16string> names;
    std::vector<WORD> values;
    for (WORD i = 0; ppd.pUserDef && i < ppd.NumUserDef; ++i) {
        std::u16string name;
        for (size_t c = 0; c < PAPER_NAME_CHARS && ppd.pUserDef[i].Name[c]; ++c) name.push_back(ppd.pUserDef[i].Name[c]);
        names.push_back(name);
        values.push_back(i);
    }
    FillList(box, IDC_USER_WIDTH, names.data(), values.data(), names.size(), state.box.selected());
    SendDlgItemMessageW(box, IDC_USER_LENGTH, EM_LIMITTEXT, 3, 0);
    SendDlgItemMessageW(box, IDC_USER_LENGTH_SPIN, UDM_SETRANGE32, state.box.min_length(), state.box.max_length());
    ShowLength(box, state);
    SendDlgItemMessageW(box, IDC_USER_LENGTH_SPIN, UDM_SETPOS32, 0, state.pages->data.working.UserPaper.PaperLength);
}

void Accept(HWND box, BoxState& state) {
    state.box.EditLength(ItemText(box, IDC_USER_LENGTH));
    const LengthVerdict verdict = state.box.Accept(&state.pages->data.working);
    if (verdict.passed()) {
        EndDialog(box, IDOK);
        return;
    }
    const std::u16string text = WithNumber(DriverString(verdict.message), verdict.limit);
    const std::u16string caption = DriverString(kStringPaperSizeError);
    MessageBoxW(box, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(box, IDC_USER_LENGTH));
}

void Command(HWND box, BoxState& state, int id, int code) {
    switch (id) {
    case IDC_USER_WIDTH:
        if (code != CBN_SELCHANGE) return;
        state.box.SelectPreset(SelectedValue(box, IDC_USER_WIDTH, -1));
        ShowLength(box, state);
        return;
    case IDC_USER_LENGTH:
        // Only digits stay; the text is written back when something went.
        if (code == EN_CHANGE && state.box.EditLength(ItemText(box, IDC_USER_LENGTH))) ShowLength(box, state);
        return;
    case IDC_USER_DEFAULTS:
        if (code != BN_CLICKED) return;
        state.box.RestoreDefaults();
        SendDlgItemMessageW(box, IDC_USER_WIDTH, CB_SETCURSEL, static_cast<WPARAM>(state.box.selected()), 0);
        ShowLength(box, state);
        SetFocus(GetDlgItem(box, IDC_USER_DEFAULTS));
        return;
    case IDOK:
        Accept(box, state);
        return;
    case IDCANCEL:
        EndDialog(box, IDCANCEL);
        return;
    default:
        return;
    }
}

}  // namespace

INT_PTR CustomPaperProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* pages = reinterpret_cast<SheetPages*>(lparam);
        auto* state = new BoxState{pages, CustomPaperBox(pages->data.working, PpdOf(*pages))};
        SetWindowLongPtrW(box, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        Initialise(box, *state);
        return TRUE;
    }
    BoxState* state = StateOf(box);
    if (!state) return FALSE;
    switch (message) {
    case WM_COMMAND:
        Command(box, *state, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_HELP:
    case WM_CONTEXTMENU:
        return AnswerHelp(box, message, wparam, lparam, state->pages->data.help_path.c_str());
    case WM_DESTROY:
        SetWindowLongPtrW(box, DWLP_USER, 0);
        delete state;
        return TRUE;
    default:
        return FALSE;
    }
}
