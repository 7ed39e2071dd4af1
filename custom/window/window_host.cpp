#include "window_host.h"

#include "resource.h"

#include "qor/sysinfo.h"

#include <algorithm>

namespace custom_window {
namespace {

UINT box_type(const custom::Message& message) {
    UINT type = message.topmost ? MB_TOPMOST : 0;
    switch (message.buttons) {
    case custom::Buttons::RetryCancel: type |= MB_RETRYCANCEL; break;
    case custom::Buttons::YesNo: type |= MB_YESNO; break;
    case custom::Buttons::Ok: break;
    }
    switch (message.icon) {
    case custom::Icon::Stop: type |= MB_ICONSTOP; break;
    case custom::Icon::Exclamation: type |= MB_ICONEXCLAMATION; break;
    case custom::Icon::Question: type |= MB_ICONQUESTION; break;
    case custom::Icon::None: break;
    }
    return type;
}

custom::Answer answer_of(int result) {
    switch (result) {
    case IDRETRY: return custom::Answer::Retry;
    case IDCANCEL: return custom::Answer::Cancel;
    case IDYES: return custom::Answer::Yes;
    case IDNO: return custom::Answer::No;
    default: return custom::Answer::Ok;
    }
}

INT_PTR CALLBACK communication_proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

}  // namespace

custom::Answer WindowHost::show(const custom::Message& message) {
    HWND owner = box_ ? box_ : owner_;
    return answer_of(MessageBoxA(owner, message.text.c_str(), message.caption.c_str(), box_type(message)));
}

void WindowHost::begin_communication(const std::string& status) {
    if (box_) DestroyWindow(box_);
    // Owned by no window: the main window is disabled meanwhile, and a
    // disabled window disables what it owns.
    box_ = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_COMMUNICATION), nullptr, communication_proc, 0);
    SetDlgItemTextA(box_, IDC_COMM_TEXT, status.c_str());
    ShowWindow(box_, SW_SHOW);
    // Modal for the user: the main window takes no input meanwhile.
    if (owner_) EnableWindow(owner_, FALSE);
    pump();
}

void WindowHost::end_communication() {
    if (owner_) EnableWindow(owner_, TRUE);
    if (box_) DestroyWindow(box_);
    box_ = nullptr;
}

void WindowHost::pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void WindowHost::wait(std::chrono::milliseconds duration) {
    // A fixed pause of the protocol; the windows stay served through it.
    const DWORD start = GetTickCount(), length = static_cast<DWORD>(duration.count());
    for (DWORD passed = 0; passed < length; passed = GetTickCount() - start) {
        pump();
        Sleep(std::min<DWORD>(length - passed, 10));
    }
}

void WindowHost::busy_cursor(bool on) { SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW)); }

}  // namespace custom_window
