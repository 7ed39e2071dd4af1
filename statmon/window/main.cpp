// QORSM: the resident status monitor of the logged-on user.
#include "monitor_windows.h"
#include "popup_dialog.h"

#include "qor/kernel.h"
#include "qor/support/version.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace qor::statmon;

namespace {

constexpr char kHelp[] =
    "usage: QORSM /P:<printer>\n"
    "       QORSM --close\n"
    "       QORSM --help | --version\n"
    "\n"
    "Watches the printer's status and announces the changes chosen with the\n"
    "program status, in a small box and through the tray icon \"QOR Printer\".\n"
    "\n"
    "  /P:<printer>  the printer to watch (any case; up to the next '/');\n"
    "                a name that does not open falls back to the first\n"
    "                QOR ZEM-D510 printer\n"
    "  --close       asks the running monitor to end and waits until it has\n"
    "\n"
    "Exit status: 0 when the monitor ended normally, another one is already\n"
    "running, or --close ended it; 1 when it cannot start (no settings, no\n"
    "conditions chosen, no printer) or --close found none; 2 on a bad option.\n";

constexpr auto kCloseWait = std::chrono::seconds(10);

int close_running() {
    HWND frame = FindWindowW(reinterpret_cast<LPCWSTR>(kFrameClass), reinterpret_cast<LPCWSTR>(kFrameTitle));
    if (!frame) {
        std::fputs("QORSM: no status monitor is running\n", stderr);
        return 1;
    }
    if (!PostMessageW(frame, WM_PSM_CLOSE, 0, 0)) {
        std::fputs("QORSM: the running status monitor could not be reached\n", stderr);
        return 1;
    }
    // A script that goes on (an uninstall, a log-off) wants it gone.
    const auto until = std::chrono::steady_clock::now() + kCloseWait;
    while (IsWindow(frame)) {
        if (std::chrono::steady_clock::now() > until) {
            std::fputs("QORSM: the running status monitor did not end within 10 s\n", stderr);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

int run(const std::string& command_line) {
    CStatusMonitorApp app;
    const StartUp start = app.start_up(command_line);
    if (start == StartUp::AlreadyRunning) return 0;
    if (start != StartUp::Run) return 1;  // silently, as at log-on nobody reads it
    MonitorWindows windows(app);
    if (!windows.create()) return 1;
    if (!app.start_worker(&windows)) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        CStatusPopupDlg* popup = windows.popup();
        if (popup && IsDialogMessageW(popup->hwnd(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;  // the windows and then the worker end on the way out
}

}  // namespace

int main(int argc, char** argv) {
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("QORSM 1.03 (suite %s)\n", qor::kSuiteVersion);
            return 0;
        }
        if (arg == "--close") return close_running();
        if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "QORSM: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
        if (!command_line.empty()) command_line += ' ';
        command_line += arg;
    }
    return run(command_line);
}
