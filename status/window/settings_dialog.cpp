#include "settings_dialog.h"

#include "resource.h"
#include "qor/support/utf.h"

#include <string>

namespace status {
namespace {

StatusModel& model_of(HWND dialog) { return *reinterpret_cast<StatusModel*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void show_state(HWND dialog, const StatusModel& model) {
    CheckDlgButton(dialog, IDC_USE_INDICATIONS, model.announcements() ? BST_CHECKED : BST_UNCHECKED);
    for (size_t row = 0; row < model.row_count(); ++row)
        SendDlgItemMessageW(dialog, IDC_CONDITIONS, CLB_SETCHECK, row, model.row_checked(row));
    EnableWindow(GetDlgItem(dialog, IDC_CONDITIONS), model.list_enabled());
    ShowWindow(GetDlgItem(dialog, IDC_HINT), model.hint_visible() ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(dialog, IDC_RENEW), model.renew_enabled());
}

// The list's marks as the user left them, told to the model row by row.
void take_marks(HWND dialog, StatusModel& model) {
    for (size_t row = 0; row < model.row_count(); ++row) {
        bool checked = SendDlgItemMessageW(dialog, IDC_CONDITIONS, CLB_GETCHECK, row, 0) == 1;
        if (checked != model.row_checked(row)) model.set_row_checked(row, checked);
    }
}

// The system menu's separator and version item, its text from the string
// table under the command's own number.
void add_version_item(HWND dialog) {
    HMENU system = GetSystemMenu(dialog, FALSE);
    LPCWSTR text = nullptr;
    int length = LoadStringW(nullptr, IDM_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
    if (!system || length <= 0) return;
    std::u16string item(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length));
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, reinterpret_cast<LPCWSTR>(item.c_str()));
}

INT_PTR CALLBACK settings_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        StatusModel& model = model_of(dialog);
        add_version_item(dialog);
        SetWindowTextA(dialog, kCaption);
        for (size_t row = 0; row < model.row_count(); ++row) {
            std::u16string wide = qor::utf8_to_utf16(model.row_text(row));
            SendDlgItemMessageW(dialog, IDC_CONDITIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
        model.start();
        show_state(dialog, model);
        return TRUE;
    }
    case WM_COMMAND: {
        StatusModel& model = model_of(dialog);
        int id = LOWORD(wparam), code = HIWORD(wparam);
        if (id == IDC_USE_INDICATIONS && code == BN_CLICKED) {
            model.set_announcements(IsDlgButtonChecked(dialog, IDC_USE_INDICATIONS) == BST_CHECKED);
        } else if (id == IDC_CONDITIONS && (code == CLBN_CHKCHANGE || code == LBN_SELCHANGE)) {
            take_marks(dialog, model);
        } else if (id == IDC_RENEW && code == BN_CLICKED) {
            model.renew();
        } else if (id == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        } else {
            return FALSE;
        }
        show_state(dialog, model);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
        DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_ABOUTBOX), dialog, QorUiPlainBoxProc, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR run_settings_dialog(StatusModel& model) {
    return DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_STATUS_SETTINGS), nullptr, settings_proc,
                           reinterpret_cast<LPARAM>(&model));
}

HWND create_settings_dialog(StatusModel& model) {
    return CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_STATUS_SETTINGS), nullptr, settings_proc,
                              reinterpret_cast<LPARAM>(&model));
}

}  // namespace status
