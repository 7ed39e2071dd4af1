// custom: reads, changes and writes the ZEM-D printer's hardware settings.
#include "main_window.h"
#include "platform_system.h"

#include "qor/kernel.h"

#include <string>

int main(int argc, char** argv) {
    // A second start raises the first instance's window and ends.
    char16_t name[256];
    HANDLE single = QorUiClaimSingleInstance(reinterpret_cast<LPWSTR>(name), 256);
    if (!single) return GetLastError() == ERROR_ALREADY_EXISTS ? 0 : 1;
    const std::u16string property = name;

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
