// Calls on a dialog's items by id.
#include "window_table.h"

using namespace qorui;

extern "C" {

HWND GetDlgItem(HWND dialog, int id) {
    for (auto& child : child_windows(dialog))
        if (child->id == id) return child->handle;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

int GetDlgCtrlID(HWND handle) {
    auto window = find_window(handle);
    return window ? window->id : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wparam, lparam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) { return SetWindowTextW(GetDlgItem(dialog, id), text); }

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) { return SetWindowTextA(GetDlgItem(dialog, id), text); }

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = 0;
    return static_cast<UINT>(GetWindowTextW(GetDlgItem(dialog, id), buffer, size));
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = 0;
    return static_cast<UINT>(GetWindowTextA(GetDlgItem(dialog, id), buffer, size));
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed) {
    if (translated) *translated = FALSE;
    WCHAR text[64];
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    GetWindowTextW(item, text, 64);
    const WCHAR* p = text;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = false;
    if (is_signed && *p == u'-') {
        negative = true;
        ++p;
    }
    // Digits up to the first other character; none, or too many, fail.
    int64_t value = 0;
    const WCHAR* digits = p;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + (*p - u'0');
        if (value > (is_signed ? int64_t{0x80000000} : int64_t{0xFFFFFFFF})) return 0;
    }
    if (p == digits) return 0;
    if (is_signed && !negative && value > 0x7FFFFFFF) return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(negative ? -value : value);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed) {
    QString text = is_signed ? QString::number(static_cast<int>(value)) : QString::number(value);
    std::u16string wide = to_u16(text);
    return SetDlgItemTextW(dialog, id, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id) {
    for (int id = first_id; id <= last_id; ++id)
        if (HWND item = GetDlgItem(dialog, id)) SendMessageW(item, BM_SETCHECK, id == check_id ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

}  // extern "C"
