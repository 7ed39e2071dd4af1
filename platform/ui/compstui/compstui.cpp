// The common property-sheet host: asks a caller's sheet function for its
// pages and header, shows them in one property sheet and reports results
// back to the function that added each page.
#include "qor/ui/compstui.h"

#include <memory>
#include <vector>

namespace {

struct Host;

// What a page handle given out by the host stands for.
struct AddedPage {
    HPROPSHEETPAGE page = nullptr;
};

struct Host {
    PFNPROPSHEETUI function = nullptr;
    PROPSHEETUI_INFO info{};
    std::vector<std::unique_ptr<AddedPage>> pages;
    bool running = false;  // pages now belong to the sheet

    LONG ask(WORD reason, LPARAM param) {
        info.Reason = reason;
        return function(&info, param);
    }
    AddedPage* find(LPARAM handle) {
        for (auto& page : pages)
            if (reinterpret_cast<LPARAM>(page.get()) == handle) return page.get();
        return nullptr;
    }
};

LONG_PTR host_service(HANDLE sheet, UINT function, LPARAM param1, LPARAM param2) {
    auto* host = static_cast<Host*>(sheet);
    if (!host) return 0;
    switch (function) {
    case CPSFUNC_ADD_HPROPSHEETPAGE:
    case CPSFUNC_ADD_PROPSHEETPAGEW: {
        if (host->running || !param1) return 0;
        HPROPSHEETPAGE page = function == CPSFUNC_ADD_HPROPSHEETPAGE
                                  ? reinterpret_cast<HPROPSHEETPAGE>(param1)
                                  : CreatePropertySheetPageW(reinterpret_cast<LPCPROPSHEETPAGEW>(param1));
        if (!page) return 0;
        auto added = std::make_unique<AddedPage>();
        added->page = page;
        host->pages.push_back(std::move(added));
        return reinterpret_cast<LONG_PTR>(host->pages.back().get());
    }
    case CPSFUNC_GET_PAGECOUNT:
        return static_cast<LONG_PTR>(host->pages.size());
    case CPSFUNC_SET_RESULT: {
        if (!host->find(param1)) return -1;
        SETRESULT_INFO result{sizeof(SETRESULT_INFO), 0, reinterpret_cast<HANDLE>(param1), param2};
        return host->ask(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&result));
    }
    default:
        return 0;
    }
}

// Pages the sheet never took are the host's to release.
void release_unshown(Host& host) {
    for (auto& added : host.pages) DestroyPropertySheetPage(added->page);
    host.pages.clear();
}

}  // namespace

extern "C" QORAPI LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI sheet_function, LPARAM param,
                                              LPDWORD result) {
    if (!sheet_function) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERR_CPSUI_GETLASTERROR;
    }
    Host host;
    host.function = sheet_function;
    host.info.cbSize = sizeof(PROPSHEETUI_INFO);
    host.info.Version = PROPSHEETUI_INFO_VERSION;
    host.info.hComPropSheet = &host;
    host.info.pfnComPropSheet = host_service;
    host.info.lParamInit = param;
    if (host.ask(PROPSHEETUI_REASON_INIT, param) <= 0) {
        // A function that refused its start has cleaned up after itself.
        release_unshown(host);
        return ERR_CPSUI_GETLASTERROR;
    }
    PROPSHEETUI_INFO_HEADER header{};
    header.cbSize = sizeof(header);
    header.hWndParent = owner;
    host.ask(PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header));
    if (host.pages.empty()) {
        host.ask(PROPSHEETUI_REASON_DESTROY, FALSE);
        return ERR_CPSUI_NO_PROPSHEETPAGE;
    }

    std::vector<HPROPSHEETPAGE> pages;
    for (auto& added : host.pages) pages.push_back(added->page);
    PROPSHEETHEADERW sheet{};
    sheet.dwSize = sizeof(sheet);
    sheet.dwFlags = PSH_HASHELP;
    if (header.Flags & PSUIHDRF_PROPTITLE) sheet.dwFlags |= PSH_PROPTITLE;
    if (header.Flags & PSUIHDRF_NOAPPLYNOW) sheet.dwFlags |= PSH_NOAPPLYNOW;
    sheet.hwndParent = header.hWndParent ? header.hWndParent : owner;
    sheet.hInstance = header.hInst;
    sheet.pszCaption = header.pTitle;
    sheet.nPages = static_cast<UINT>(pages.size());
    sheet.phpage = pages.data();
    host.running = true;
    // The sheet owns the pages from here and releases them as it ends,
    // while the host still answers their last results.
    const INT_PTR shown = PropertySheetW(&sheet);
    host.ask(PROPSHEETUI_REASON_DESTROY, shown > 0 ? TRUE : FALSE);
    if (shown < 0) return ERR_CPSUI_GETLASTERROR;
    if (result) *result = static_cast<DWORD>(host.info.Result);
    return static_cast<LONG>(shown > 0 ? CPSUI_OK : CPSUI_CANCEL);
}
