// A program with one top-level window, for the tests between processes:
//   qorui_test_helper_window <title> <log> [minimized]
// It logs WM_SETTINGCHANGE sections and ends on WM_USER+5.
#include "ui_fixture.h"

#include <cstdio>
#include <string>

namespace {

const char* log_path = nullptr;

void log_line(const std::string& line) {
    if (FILE* log = std::fopen(log_path, "a")) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fclose(log);
    }
}

INT_PTR helper_proc(HWND, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_SETTINGCHANGE) {
        auto* section = reinterpret_cast<const char16_t*>(lparam);
        log_line("setting " + (section ? std::string(section, section + std::char_traits<char16_t>::length(section)) : ""));
        return TRUE;
    }
    if (message == WM_USER + 5) {
        log_line("close");
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    log_path = argv[2];
    std::u16string title = uitest::u16(argv[1]);
    auto bytes = uitest::dialog(title, 120, 40, {});
    HWND window = uitest::modeless(bytes, helper_proc);
    if (!window) return 1;
    SetPropW(window, u"QOR_PRINTER_TOOL", reinterpret_cast<HANDLE>(0x1234));
    ShowWindow(window, argc > 3 && std::string(argv[3]) == "minimized" ? SW_SHOWMINIMIZED : SW_SHOW);
    log_line("ready");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
    DestroyWindow(window);
    return 0;
}
