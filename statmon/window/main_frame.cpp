#include "main_frame.h"

#include "resource.h"

#include <strings.h>

#include <string>

namespace qor::statmon {
namespace {

constexpr UINT_PTR kViewId = 0xE900;

MonitorWindows* windows_of(HWND window) {
    return reinterpret_cast<MonitorWindows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

MonitorWindows* take_windows(HWND window, LPARAM create) {
    auto* windows = static_cast<MonitorWindows*>(reinterpret_cast<CREATESTRUCTW*>(create)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(windows));
    return windows;
}

std::string narrow(LPCWSTR text) {
    std::string out;
    for (size_t i = 0; text && text[i] && i < 512; ++i) out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return out;
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

void add_tray_icon(HWND view, DWORD action) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = view;
    data.uID = kTrayIconId;
    if (action == NIM_ADD) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = WM_PSM_TRAYICON;
        data.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(IDI_MONITOR));
        for (size_t i = 0; kTrayTip[i]; ++i) data.szTip[i] = kTrayTip[i];
    }
    Shell_NotifyIconW(action, &data);
}

LRESULT view_proc(HWND view, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        take_windows(view, lparam);
        add_tray_icon(view, NIM_ADD);
        return 0;
    }
    MonitorWindows* windows = windows_of(view);
    if (!windows) return DefWindowProcW(view, message, wparam, lparam);
    switch (message) {
    case WM_PSM_NOTIFY:
        windows->notify(static_cast<UINT>(wparam), static_cast<DWORD>(lparam));
        return 0;
    case WM_PSM_TRAYICON:
        if (lparam == WM_RBUTTONDOWN) track_tray_menu(view);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case ID_TRAY_VERSION:
        case ID_APP_ABOUT: windows->show_version_box(); break;
        case ID_TRAY_EXIT:
        case ID_APP_EXIT:
            if (windows->frame()) DestroyWindow(windows->frame());  // the view's end signals the stop
            break;
        default: break;
        }
        return 0;
    case WM_SETTINGCHANGE:
        if (lparam && same_ignoring_case(narrow(reinterpret_cast<LPCWSTR>(lparam)), "devices"))
            windows->app().recheck_printer();
        return 0;
    case WM_DEVMODECHANGE:
        if (lparam && same_ignoring_case(narrow(reinterpret_cast<LPCWSTR>(lparam)), windows->app().printer_name()))
            windows->app().recheck_printer();
        return 0;
    case WM_ENDSESSION:
        windows->stop();
        return 0;
    case WM_DESTROY:
        windows->stop();
        add_tray_icon(view, NIM_DELETE);
        windows->view_gone();
        return 0;
    default:
        return DefWindowProcW(view, message, wparam, lparam);
    }
}

LRESULT frame_proc(HWND frame, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        MonitorWindows* windows = take_windows(frame, lparam);
        HWND view = CStatusMonitorView::create(*windows, frame);
        if (!view) return -1;
        windows->frame_created(frame, view);
        return 0;
    }
    MonitorWindows* windows = windows_of(frame);
    if (!windows) return DefWindowProcW(frame, message, wparam, lparam);
    switch (message) {
    case WM_PSM_CLOSE:
        windows->stop();
        DestroyWindow(frame);
        return 0;
    // Broadcasts reach top-level windows; the view is the one that acts.
    case WM_SETTINGCHANGE:
    case WM_DEVMODECHANGE:
    case WM_ENDSESSION:
        if (windows->view()) SendMessageW(windows->view(), message, wparam, lparam);
        return 0;
    case WM_COMMAND:
        if (windows->view()) return SendMessageW(windows->view(), message, wparam, lparam);
        return 0;
    case WM_DESTROY:
        windows->frame_gone();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(frame, message, wparam, lparam);
    }
}

bool register_class(const char16_t* name, WNDPROC proc) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = proc;
    window_class.lpszClassName = reinterpret_cast<LPCWSTR>(name);
    constexpr DWORD kClassAlreadyExists = 1410;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == kClassAlreadyExists;
}

}  // namespace

HWND CMainFrame::create(MonitorWindows& windows) {
    if (!register_class(kFrameClass, frame_proc) || !register_class(kViewClass, view_proc)) return nullptr;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND frame = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(kFrameClass), reinterpret_cast<LPCWSTR>(kFrameTitle),
                                 WS_OVERLAPPEDWINDOW, width / 4, height / 4, width / 2, height / 2, nullptr, nullptr,
                                 nullptr, &windows);
    if (frame) ShowWindow(frame, SW_HIDE);
    return frame;
}

HWND CStatusMonitorView::create(MonitorWindows& windows, HWND frame) {
    RECT client{};
    GetClientRect(frame, &client);
    return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(kViewClass), reinterpret_cast<LPCWSTR>(u""),
                           WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, frame,
                           reinterpret_cast<HMENU>(kViewId), nullptr, &windows);
}

}  // namespace qor::statmon
