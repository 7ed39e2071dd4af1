// The first instance of a program, found by the property its main window
// carries, brought forward by a second start.
#include "window_table.h"

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
