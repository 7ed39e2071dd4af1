// custom: reads, changes and writes the ZEM-D printer's hardware settings.
#include "main_window.h"
#include "platform_system.h"

#include "qor/kernel.h"
#include "qor/support/utf.h"

#include <string>

namespace {

// The executable's name without folder and extension: the single-instance
// mutex and the main window's property are named after it.
std::string base_name() {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    name = name.substr(name.find_last_of("/\\") + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = base_name();
    const std::u16string property = qor::utf8_to_utf16(name);
    HANDLE single = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!single) return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        QorUiRaiseMarkedWindow(reinterpret_cast<LPCWSTR>(property.c_str()));
        CloseHandle(single);
        return 0;
    }

    custom_window::WindowHost host;
    custom::QorcilLibrary library;
    custom::SpoolerSystem system;
    int status = 1;
    {
        custom::SetupTool tool(host, library, system);
        if (tool.bind_library()) {
            bool found = tool.find_printer();
            library.release();
            if (found) {
                custom_window::MainState state{tool, host, {}, false, property};
                if (HWND main = custom_window::create_main_window(state)) {
                    custom_window::initialise_form(main, argc > 1 ? argv[1] : "");
                    ShowWindow(main, SW_SHOW);
                    SetPropW(main, reinterpret_cast<LPCWSTR>(property.c_str()), reinterpret_cast<HANDLE>(1));
                    DragAcceptFiles(main, TRUE);
                    MSG message;
                    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
                    status = 0;
                }
            }
        }
    }
    CloseHandle(single);
    return status;
}
