// The first instance of a program, found by the property its main window
// carries, brought forward by a second start; the claim a start makes.
#include "window_table.h"

#include "qor/kernel.h"
#include "qor/module.h"

#include <algorithm>
#include <string>

namespace {

struct Search {
    LPCWSTR property;
    HWND found = nullptr;
};

BOOL find_marked(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!GetPropW(window, search->property)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

extern "C" HWND QorUiRaiseMarkedWindow(LPCWSTR property) {
    Search search{property};
    EnumWindows(find_marked, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return nullptr;
    if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(search.found));
    return search.found;
}

extern "C" HANDLE QorUiClaimSingleInstance(LPWSTR name, DWORD chars) {
    char16_t path[4096] = {};
    GetModuleFileNameW(nullptr, reinterpret_cast<LPWSTR>(path), 4096);
    std::u16string base = path;
    base = base.substr(base.find_last_of(u"/\\") + 1);
    const size_t dot = base.rfind(u'.');
    if (dot != std::u16string::npos && dot != 0) base.resize(dot);
    if (!name || chars <= base.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    std::copy(base.begin(), base.end(), name);
    name[base.size()] = u'\0';
    HANDLE single = CreateMutexW(nullptr, FALSE, name);
    if (!single) return nullptr;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return single;
    QorUiRaiseMarkedWindow(name);
    CloseHandle(single);
    SetLastError(ERROR_ALREADY_EXISTS);
    return nullptr;
}
