// The sheet entry points: the document sheet (Paper, Graphics) edits the
// document's device mode, the device sheet (Options) the printer-wide
// settings; both run in the common property-sheet library.
#include "current_devmode.h"
#include "devmode_ops.h"
#include "resource.h"
#include "sheet_window.h"
#include "show_groups.h"

#include "qor/ddiui.h"
#include "qor/guard.h"
#include "qor/spooler.h"
#include "qor/ui/compstui.h"

#include <cstring>

namespace {

struct PageSpec {
    WORD id;
    DLGPROC proc;
};
constexpr PageSpec kDocumentPages[] = {{IDD_PAPER, PaperPageProc}, {IDD_GRAPHICS, GraphicsPageProc}};
constexpr PageSpec kDevicePages[] = {{IDD_OPTIONS, OptionsPageProc}};

// The header each kind of sheet is opened with.
struct Opening {
    HANDLE printer;
    LPWSTR printer_name;
    const DEVMODEW* input;
};

Opening OpeningOf(const PROPSHEETUI_INFO& info, SheetKind kind) {
    if (kind == SheetKind::Document) {
        const auto* header = reinterpret_cast<const DOCUMENTPROPERTYHEADER*>(info.lParamInit);
        return {header->hPrinter, header->pszPrinterName, header->pdmIn};
    }
    const auto* header = reinterpret_cast<const DEVICEPROPERTYHEADER*>(info.lParamInit);
    return {header->hPrinter, header->pszPrinterName, nullptr};
}

// Adds the kind's pages; the first carries the release callback and from
// then on owns `pages`. False when the library refused a page.
bool AddPages(PROPSHEETUI_INFO* info, SheetState* state, SheetPages* pages, SheetKind kind, bool* pages_owned) {
    const PageSpec* specs = kind == SheetKind::Document ? kDocumentPages : kDevicePages;
    const size_t count = kind == SheetKind::Document ? std::size(kDocumentPages) : std::size(kDevicePages);
    for (size_t i = 0; i < count; ++i) {
        PROPSHEETPAGEW page{};
        page.dwSize = sizeof(page);
        page.dwFlags = PSP_HASHELP | (i == 0 ? PSP_USECALLBACK : 0);
        page.hInstance = DriverModule();
        page.pszTemplate = MAKEINTRESOURCEW(specs[i].id);
        page.pfnDlgProc = specs[i].proc;
        page.lParam = reinterpret_cast<LPARAM>(pages);
        page.pfnCallback = i == 0 ? PageRelease : nullptr;
        HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
        if (!handle) return false;
        if (i == 0) *pages_owned = true;
        const LONG_PTR added =
            info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, reinterpret_cast<LPARAM>(handle), 0);
        if (!added) {
            DestroyPropertySheetPage(handle);
            return false;
        }
        state->last_page_handle = added;
    }
    return true;
}

LONG Initialise(PROPSHEETUI_INFO* info, SheetKind kind) {
    const Description description = LoadPrinterDescription();
    const Opening opening = OpeningOf(*info, kind);
    SheetState* state = CreateSheetState(opening.printer, opening.input, kind, description.ppd());
    if (!state) return -1;
    state->library_callback = reinterpret_cast<LONG_PTR>(info->pfnComPropSheet);
    state->library_handle = reinterpret_cast<LONG_PTR>(info->hComPropSheet);

    auto* pages = new SheetPages;
    pages->description = description;
    pages->data = MakePageData(state, kind, opening.printer_name ? opening.printer_name : u"");
    pages->data.help_path = HelpFilePath();
    bool pages_owned = false;
    if (!AddPages(info, state, pages, kind, &pages_owned)) {
        // Pages already added release `pages`; they must not report to a
        // sheet that is gone.
        pages->data.sheet = nullptr;
        if (!pages_owned) delete pages;
        DestroySheetState(state);
        return -1;
    }
    info->Result = 0;
    info->UserData = reinterpret_cast<ULONG_PTR>(state);
    return 1;
}

// The header the platform passed is outside input: it must be of its kind.
bool HeaderFits(const PROPSHEETUI_INFO& info, SheetKind kind) {
    if (!info.lParamInit) return false;
    const WORD size = *reinterpret_cast<const WORD*>(info.lParamInit);
    return size >= (kind == SheetKind::Document ? sizeof(DOCUMENTPROPERTYHEADER) : sizeof(DEVICEPROPERTYHEADER));
}

LONG SheetFunction(PROPSHEETUI_INFO* info, LPARAM param, SheetKind kind) {
    if (!info || info->cbSize < sizeof(PROPSHEETUI_INFO) || !HeaderFits(*info, kind)) return -1;
    if (info->Reason == PROPSHEETUI_REASON_INIT) return Initialise(info, kind);
    auto* state = reinterpret_cast<SheetState*>(info->UserData);
    if (!IsSheetState(state)) return -1;
    switch (info->Reason) {
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(param);
        if (!header) return -1;
        header->Flags = PSUIHDRF_PROPTITLE;
        header->pTitle = OpeningOf(*info, kind).printer_name;
        header->hInst = DriverModule();
        header->IconID = IDI_CPSUI_PRINTER;
        return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
        DestroySheetState(state);
        info->UserData = 0;
        return 1;
    case PROPSHEETUI_REASON_SET_RESULT: {
        const auto* result = reinterpret_cast<const SETRESULT_INFO*>(param);
        if (!result) return -1;
        info->Result = static_cast<ULONG_PTR>(result->Result);
        if (kind == SheetKind::Document && result->Result == CPSUI_OK) {
            const auto* header = reinterpret_cast<const DOCUMENTPROPERTYHEADER*>(info->lParamInit);
            if ((header->fMode & (DM_UPDATE | DM_COPY)) && header->pdmOut)
                CopyDevModeOut(state->current, header->pdmIn, header->pdmOut);
        }
        return 1;
    }
    default:
        return -1;
    }
}

// The platform's size-and-copy call, header only.
LONG SizeAndCopy(DOCUMENTPROPERTYHEADER* header) {
    header->cbOut = EXDM_SIZE;
    if (!header->fMode || !header->pdmOut) return EXDM_SIZE;
    const Description description = LoadPrinterDescription();
    SheetState* state = CreateSheetState(header->hPrinter, header->pdmIn, SheetKind::Document, description.ppd());
    if (!state) return -1;
    BOOL copied = TRUE;
    if (header->fMode & (DM_UPDATE | DM_COPY)) copied = CopyDevModeOut(state->current, header->pdmIn, header->pdmOut);
    DestroySheetState(state);
    return copied ? 1 : -1;
}

}  // namespace

extern "C" {

QORAPI LONG DrvDocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM parameter) {
    return qor::guarded(LONG(-1), [&]() -> LONG {
        if (!info) {
            auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(parameter);
            if (!header || header->cbSize < sizeof(DOCUMENTPROPERTYHEADER)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
            return SizeAndCopy(header);
        }
        return SheetFunction(info, parameter, SheetKind::Document);
    });
}

QORAPI LONG DrvDevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM parameter) {
    return qor::guarded(LONG(-1), [&]() -> LONG { return SheetFunction(info, parameter, SheetKind::Device); });
}

QORAPI BOOL PrinterProperties(HWND window, HANDLE printer) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        DEVICEPROPERTYHEADER header{};
        header.cbSize = sizeof(header);
        header.hPrinter = printer;
        std::vector<BYTE> buffer;
        PRINTER_INFO_2W info;
        if (ReadPrinterInfo(printer, &buffer, &info)) header.pszPrinterName = info.pPrinterName;
        // Writing a value is the probe for the right to change the printer.
        if (!WritePrinterSetting(printer, kPermissionValue, 1)) header.Flags |= DPS_NOPERMISSION;
        DWORD result = 1;
        if (HMODULE library = LoadLibraryW(u"compstui.dll")) {
            auto run = reinterpret_cast<PFN_CommonPropertySheetUIW>(
                reinterpret_cast<void*>(GetProcAddress(library, "CommonPropertySheetUIW")));
            if (run)
                run(window, &DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header), &result);
            FreeLibrary(library);
        }
        return result != 0;
    });
}

// The extra document pages' procedure; no installation adds them.
static INT_PTR ExtraPageProc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(page, GWLP_USERDATA, lparam);
        return TRUE;
    }
    if (!GetWindowLongPtrW(page, GWLP_USERDATA)) return FALSE;
    switch (message) {
    case WM_NOTIFY:
        return reinterpret_cast<const NMHDR*>(lparam)->code != PSN_HELP;
    case WM_HELP:
    case WM_DESTROY:
        return TRUE;
    default:
        return FALSE;
    }
}

QORAPI INT_PTR Add01PropSheetProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return ExtraPageProc(page, message, wparam, lparam);
}
QORAPI INT_PTR Add02PropSheetProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return ExtraPageProc(page, message, wparam, lparam);
}
QORAPI INT_PTR Add03PropSheetProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return ExtraPageProc(page, message, wparam, lparam);
}

}  // extern "C"
