#include "popup_dialog.h"

#include "resource.h"

namespace qor::statmon {
namespace {

constexpr int kMaxMessage = 512;

int find_message_face(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM found) {
    if (!font || !is_message_face(*font, type)) return 1;
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

void centre_on_screen(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, FALSE);
}

}  // namespace

CStatusPopupDlg* CStatusPopupDlg::create(MonitorWindows& owner) {
    auto* box = new CStatusPopupDlg(owner);
    HWND made = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_STATUS_POPUP), nullptr, proc,
                                   reinterpret_cast<LPARAM>(box));
    if (!made) {
        delete box;
        return nullptr;
    }
    return box;
}

INT_PTR CStatusPopupDlg::proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* box = reinterpret_cast<CStatusPopupDlg*>(lparam);
        box->hwnd_ = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        box->init();
        return TRUE;
    }
    auto* box = reinterpret_cast<CStatusPopupDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return box ? box->handle(message, wparam, lparam) : FALSE;
}

INT_PTR CStatusPopupDlg::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PSM_SHOWMESSAGE:
        apply(state_.show_message(static_cast<UINT>(wparam), static_cast<DWORD>(lparam)));
        return TRUE;
    case WM_TIMER:
        if (wparam != kPopupTimerId) return FALSE;
        apply(state_.timer_fired());
        return TRUE;
    case WM_DRAWITEM:
        if (wparam == IDC_MESSAGE_LIST) draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) apply(state_.closed());
        return TRUE;
    case WM_DESTROY: {
        // The next notification makes a new box.
        HWND self = hwnd_;
        SetWindowLongPtrW(self, DWLP_USER, 0);
        KillTimer(self, kPopupTimerId);
        QorUiLogEvent("popup", "closed", "");
        owner_.popup_gone(this);
        delete this;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CStatusPopupDlg::init() {
    centre_on_screen(hwnd_);
    HWND list = GetDlgItem(hwnd_, IDC_MESSAGE_LIST);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u""));
    RECT client{};
    GetClientRect(hwnd_, &client);
    SendMessageW(list, LB_SETITEMHEIGHT, 0, client.bottom - client.top);
    choose_font(list);
}

void CStatusPopupDlg::choose_font(HWND list) {
    HDC hdc = GetDC(list);
    if (!hdc) return;
    LOGFONTW wanted{};
    static constexpr char16_t kFace[] = u"Arial";
    for (size_t i = 0; kFace[i]; ++i) wanted.lfFaceName[i] = kFace[i];
    wanted.lfCharSet = DEFAULT_CHARSET;
    bool found = false;
    EnumFontFamiliesExW(hdc, &wanted, find_message_face, reinterpret_cast<LPARAM>(&found), 0);
    font_ = popup_message_font(found, GetDeviceCaps(hdc, LOGPIXELSY));
    ReleaseDC(list, hdc);
}

void CStatusPopupDlg::draw(const DRAWITEMSTRUCT& item) {
    if (item.itemID != 0 || !(item.itemAction & ODA_DRAWENTIRE)) return;
    WCHAR text[kMaxMessage] = {};
    if (state_.message()) LoadStringW(nullptr, state_.message(), text, kMaxMessage);
    if (!item.hwndItem || !item.hDC) return;
    RECT rect{};
    GetClientRect(item.hwndItem, &rect);
    HFONT font = CreateFontIndirectW(&font_);
    HGDIOBJ previous = SelectObject(item.hDC, font);
    SetBkMode(item.hDC, TRANSPARENT);
    DrawTextW(item.hDC, text, -1, &rect, DT_WORDBREAK);
    if (previous) SelectObject(item.hDC, previous);
    DeleteObject(font);
}

void CStatusPopupDlg::apply(const PopupState::Effects& effects) {
    HWND self = hwnd_;
    if (effects.redraw) {
        HWND list = GetDlgItem(self, IDC_MESSAGE_LIST);
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        InvalidateRect(list, nullptr, TRUE);
        SetForegroundWindow(self);
        char text[kMaxMessage] = {};
        LoadStringA(nullptr, state_.message(), text, kMaxMessage);
        QorUiLogEvent("popup", state_.persistent() ? "persistent" : "passing", text);
    }
    if (effects.stop_timer) KillTimer(self, kPopupTimerId);
    if (effects.start_timer) SetTimer(self, kPopupTimerId, kPopupTimerMs, nullptr);
    if (effects.destroy) DestroyWindow(self);  // deletes this
}

}  // namespace qor::statmon
