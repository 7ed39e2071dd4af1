// The pages' help: pop-ups from the control-to-context pairs, the sheet's
// Help button and the help file's place.
#include "driver_strings.h"
#include "sheet_window.h"

#include "qor/spooler.h"
#include "qor/sysinfo.h"
#include "qor/ui/windows.h"

#include <sys/stat.h>

#include <string>

namespace {

constexpr DWORD kSheetTopic = 4;

// (control, context) pairs ending in 0, 0.
const DWORD kHelpPairs[] = {
    1001, 20, 1008, 20, 1002, 21, 1009, 21, 1004, 22, 1005, 22, 1011, 22, 1006, 23,
    1007, 14, 1110, 14, 1306, 14,
    1101, 30, 1102, 30, 1103, 30, 1104, 30, 1105, 30, 1111, 30,
    1106, 31, 1107, 31, 1112, 31,
    1108, 32, 1113, 32, 1114, 32, 1115, 32,
    1109, 33, 1116, 33, 1117, 33, 1118, 33,
    1301, 40, 1302, 40, 1303, 40, 1307, 40,
    1304, 41, 1309, 41,
    0, 0,
};

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

bool FileExists(const std::u16string& path) {
    std::string name = Narrow(path);
    for (char& c : name)
        if (c == '\\') c = '/';
    struct stat info{};
    return stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::u16string HelpFilePath() {
    const std::u16string name = DriverString(kStringHelpFile);
    // The platform's folder is the system folder's parent.
    WCHAR system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::u16string windows(system);
    const size_t slash = windows.find_last_of(u"\\/");
    if (slash != std::u16string::npos) windows.resize(slash);
    if (FileExists(windows + u"/Help/" + name)) return name;
    WCHAR folder[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(folder), sizeof(folder), &needed))
        return name;
    return std::u16string(folder) + u"\\" + name;
}

bool IsHelpMessage(UINT message, LPARAM lparam) {
    if (message == WM_HELP || message == WM_CONTEXTMENU || message == WM_DESTROY) return true;
    return message == WM_NOTIFY && lparam && reinterpret_cast<const NMHDR*>(lparam)->code == PSN_HELP;
}

extern "C" QORAPI BOOL AnswerHelp(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LPCWSTR path) {
    const DWORD* pairs = kHelpPairs;
    switch (message) {
    case WM_DESTROY:
        WinHelpW(window, path, HELP_QUIT, 0);
        break;
    case WM_NOTIFY:
        WinHelpW(window, path, HELP_CONTEXT, kSheetTopic);
        break;
    case WM_HELP: {
        const auto* info = reinterpret_cast<const HELPINFO*>(lparam);
        if (info && info->iContextType == HELPINFO_WINDOW)
            WinHelpW(static_cast<HWND>(info->hItemHandle), path, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(pairs));
        break;
    }
    case WM_CONTEXTMENU:
        WinHelpW(reinterpret_cast<HWND>(wparam), path, HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(pairs));
        break;
    default:
        break;
    }
    return TRUE;
}
