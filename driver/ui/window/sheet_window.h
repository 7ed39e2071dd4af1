// The window half of the interface driver's sheets: the pages' dialog
// procedures over the sheet model (sheet_state.h, pages.h), the two boxes
// and the help dispatcher.
#pragma once

#include "context.h"
#include "sheet_state.h"

#include "qor/ui/compstui.h"

#include <string>

// What the pages of one sheet share: the page data, the description the
// sheet was opened with and each page's initialised and changed flags.
// Owned by the first page's release callback once that page exists.
struct SheetPages {
    PageData data;
    Description description;
    bool initialised[3] = {};
    bool changed[3] = {};
};

const PpdData& PpdOf(const SheetPages& pages);

// The pages' dialog procedures.
INT_PTR PaperPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR GraphicsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR OptionsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
// The release callback of a sheet's first page; message 0xFFFF reports the
// end of an apply instead.
UINT PageRelease(HWND window, UINT message, PROPSHEETPAGEW* page);
inline constexpr UINT kApplyDone = 0xFFFF;

// What sets one page apart; RunPage does the rest.
struct PageBehaviour {
    int slot;          // 0 Paper, 1 Graphics, 2 Options
    WORD template_id;  // the page's template and Show= group
    void (*show_all)(HWND page, SheetPages& pages);
    void (*command)(HWND page, SheetPages& pages, int id, int code);
    // What the page shows again when it becomes active (null: nothing), as
    // another page's layout check may have changed it.
    void (*activated)(HWND page, SheetPages& pages);
    // Takes the page's controls into the record once the layout check passed.
    void (*apply)(HWND page, SheetPages& pages);
};
// A page's dialog procedure: set-up, help, commands, activation, apply and
// trackbar moves (which only mark the page changed).
INT_PTR RunPage(const PageBehaviour& behaviour, HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// Behaviour every page shares. `slot` is 0 Paper, 1 Graphics, 2 Options.
SheetPages* PagesOf(HWND page);
void InitialisePage(HWND page, LPARAM record, int slot);
// A control's value changed: tells the sheet once the page is set up.
void MarkChanged(HWND page, int slot);
// Hides and disables the groups of `page_id` whose Show bit is clear.
void HideUnshownGroups(HWND page, WORD page_id, DWORD show);
// The layout check by the last active page, with its questions; false
// when the user refused, and the page then answers PSNRET_INVALID.
bool PassLayoutCheck(HWND page, WORD page_id);
// Ends an apply: reports it to the sheet library and the sheet.
void FinishApply(HWND page, int slot);
// Answers PSN_APPLY with `result`.
void AnswerNotify(HWND page, LRESULT result);
// WM_HELP, WM_CONTEXTMENU, the help notification and WM_DESTROY.
bool IsHelpMessage(UINT message, LPARAM lparam);
extern "C" QORAPI BOOL AnswerHelp(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LPCWSTR path);

// The boxes of the Paper page.
INT_PTR CustomPaperProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR VersionBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam);
// The product version in the version record of this printer's interface
// module; empty when it has none.
std::u16string InterfaceModuleVersion(const EXDEVMODE& current);

// The help file's path for `printer` (string 3000).
std::u16string HelpFilePath();

// Combo box helpers.
void FillList(HWND dialog, int id, const std::u16string* names, const WORD* values, size_t count, int selected);
int SelectedValue(HWND dialog, int id, int otherwise);
std::u16string ItemText(HWND dialog, int id);
