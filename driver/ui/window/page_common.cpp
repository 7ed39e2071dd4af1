// What the Paper, Graphics and Options pages share: their data, the
// changed flags, the Show= groups, the layout check and the end of apply.
#include "driver_strings.h"
#include "layout_check.h"
#include "sheet_window.h"
#include "show_groups.h"

#include "qor/ui/windows.h"

const PpdData& PpdOf(const SheetPages& pages) { return pages.description.ppd(); }

SheetPages* PagesOf(HWND page) { return reinterpret_cast<SheetPages*>(GetWindowLongPtrW(page, DWLP_USER)); }

void InitialisePage(HWND page, LPARAM record, int slot) {
    auto* sheet_page = reinterpret_cast<PROPSHEETPAGEW*>(record);
    auto* pages = reinterpret_cast<SheetPages*>(sheet_page->lParam);
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(pages));
    pages->initialised[slot] = false;
    pages->changed[slot] = false;
}

void MarkChanged(HWND page, int slot) {
    SheetPages* pages = PagesOf(page);
    if (!pages) return;
    pages->changed[slot] = true;
    if (pages->initialised[slot] && pages->changed[slot]) {
        SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
        pages->changed[slot] = false;
    }
}

void HideUnshownGroups(HWND page, WORD page_id, DWORD show) {
    for (const ShowGroup& group : ShowGroups()) {
        if (group.page != page_id || (show & group.bit)) continue;
        for (int id : group.controls) {
            HWND control = GetDlgItem(page, id);
            ShowWindow(control, SW_HIDE);
            EnableWindow(control, FALSE);
        }
    }
}

bool PassLayoutCheck(HWND page, WORD page_id) {
    SheetPages* pages = PagesOf(page);
    if (!pages || !IsSheetState(pages->data.sheet) || pages->data.sheet->last_active_page != page_id) return true;
    const LayoutQuestion question = CheckLayout(pages->data.working, PpdOf(*pages));
    if (question == LayoutQuestion::None) return true;
    const std::u16string text = DriverString(static_cast<UINT>(question));
    const std::u16string caption = DriverString(kStringQuestionCaption);
    if (MessageBoxW(page, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONWARNING) != IDYES) return false;
    AcceptLayoutAnswer(&pages->data.working, question);
    return true;
}

void AnswerNotify(HWND page, LRESULT result) { SetWindowLongPtrW(page, DWLP_MSGRESULT, result); }

void FinishApply(HWND page, int) {
    SheetPages* pages = PagesOf(page);
    if (!pages) return;
    // Every page's apply counts: a sheet whose only applied page is not
    // the Paper page still ends with OK for its caller.
    pages->data.applied = true;
    PROPSHEETPAGEW record{};
    record.lParam = reinterpret_cast<LPARAM>(pages);
    PageRelease(nullptr, kApplyDone, &record);
    SendMessageW(GetParent(page), PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0);
}

UINT PageRelease(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message != PSPCB_RELEASE && message != kApplyDone) return 1;
    auto* pages = page ? reinterpret_cast<SheetPages*>(page->lParam) : nullptr;
    if (!pages) return 1;
    SheetState* state = pages->data.sheet;
    if (IsSheetState(state) && state->library_callback) {
        auto library = reinterpret_cast<PFNCOMPROPSHEET>(state->library_callback);
        const LPARAM result = message == kApplyDone ? 1 : (pages->data.applied ? 1 : 0);
        library(reinterpret_cast<HANDLE>(state->library_handle), CPSFUNC_SET_RESULT, state->last_page_handle, result);
    }
    if (message == PSPCB_RELEASE) delete pages;
    return 1;
}

void FillList(HWND dialog, int id, const std::u16string* names, const WORD* values, size_t count, int selected) {
    SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < count; ++i) {
        const LRESULT index = SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i].c_str()));
        SendDlgItemMessageW(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(index), values[i]);
    }
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int SelectedValue(HWND dialog, int id, int otherwise) {
    const LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return otherwise;
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

std::u16string ItemText(HWND dialog, int id) {
    WCHAR text[64] = {};
    GetDlgItemTextW(dialog, id, text, 64);
    return std::u16string(text);
}

INT_PTR RunPage(const PageBehaviour& behaviour, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        InitialisePage(page, lparam, behaviour.slot);
        SheetPages& pages = *PagesOf(page);
        behaviour.show_all(page, pages);
        HideUnshownGroups(page, behaviour.template_id, PpdOf(pages).Show);
        pages.initialised[behaviour.slot] = true;
        return TRUE;
    }
    SheetPages* pages = PagesOf(page);
    if (!pages) return FALSE;
    if (IsHelpMessage(message, lparam)) return AnswerHelp(page, message, wparam, lparam, pages->data.help_path.c_str());
    switch (message) {
    case WM_COMMAND:
        behaviour.command(page, *pages, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_HSCROLL:
        MarkChanged(page, behaviour.slot);  // the positions are read on apply
        return TRUE;
    case WM_NOTIFY:
        switch (reinterpret_cast<const NMHDR*>(lparam)->code) {
        case PSN_SETACTIVE:
            if (IsSheetState(pages->data.sheet)) pages->data.sheet->last_active_page = behaviour.template_id;
            if (behaviour.activated) behaviour.activated(page, *pages);
            AnswerNotify(page, 0);
            return TRUE;
        case PSN_APPLY:
            if (!PassLayoutCheck(page, behaviour.template_id)) {
                AnswerNotify(page, PSNRET_INVALID);
                return TRUE;
            }
            behaviour.apply(page, *pages);
            FinishApply(page, behaviour.slot);
            AnswerNotify(page, PSNRET_NOERROR);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
