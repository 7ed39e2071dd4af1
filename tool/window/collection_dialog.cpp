#include "collection_dialog.h"

#include "collection_time.h"
#include "resource.h"
#include "qor/support/utf.h"
#include "qor/sysinfo.h"

#include <vector>

namespace tool {
namespace {

constexpr WPARAM sc_minimize = 0xF020;

struct Start {
    ToolModel* model;
    std::u16string property;
};

struct Choice {
    const std::vector<std::string>* names;
    size_t chosen = 0;
};

INT_PTR CALLBACK choice_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        const auto& names = *reinterpret_cast<Choice*>(lparam)->names;
        for (size_t k = 0; k < names.size(); ++k) {
            std::u16string name = qor::utf8_to_utf16(names[k]);
            auto at = SendDlgItemMessageW(dialog, IDC_PRINTERS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SendDlgItemMessageW(dialog, IDC_PRINTERS, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(k));
        }
        SendDlgItemMessageW(dialog, IDC_PRINTERS, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    auto* choice = reinterpret_cast<Choice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (LOWORD(wparam) == IDOK) {
        auto selected = SendDlgItemMessageW(dialog, IDC_PRINTERS, CB_GETCURSEL, 0, 0);
        if (selected == CB_ERR) return TRUE;
        choice->chosen = static_cast<size_t>(
            SendDlgItemMessageW(dialog, IDC_PRINTERS, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

class DialogView : public ToolView {
public:
    explicit DialogView(HWND dialog) : dialog_(dialog) {}

    bool show(const Message& message) override {
        UINT type = (message.icon == Message::Icon::Exclamation ? MB_ICONEXCLAMATION : MB_ICONSTOP) |
                    (message.buttons == Message::Buttons::OkCancel ? MB_OKCANCEL : MB_OK);
        return MessageBoxA(message.owned ? dialog_ : nullptr, message.text.c_str(), message.caption.c_str(), type) ==
               IDOK;
    }
    std::optional<size_t> choose_printer(const std::vector<std::string>& names) override {
        Choice choice{&names};
        if (DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_CHOOSE_PRINTER), dialog_, choice_proc,
                            reinterpret_cast<LPARAM>(&choice)) != IDOK)
            return std::nullopt;
        return choice.chosen;
    }
    void set_buttons_enabled(bool enabled) override {
        EnableWindow(GetDlgItem(dialog_, IDC_SET), enabled);
        EnableWindow(GetDlgItem(dialog_, IDC_CLOSE), enabled);
    }
    // The layer has no cursors yet; the disabled buttons show the wait.
    void set_wait_cursor(bool) override {}
    // The pause blocks the dialog, as the operation does on the platform.
    void pause(unsigned milliseconds) override { Sleep(milliseconds); }
    void focus_edit() override { SetFocus(GetDlgItem(dialog_, IDC_VALUE)); }

private:
    HWND dialog_;
};

// A control's tip is the string with the control's identifier.
void add_tool_tips(HWND dialog) {
    HWND tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, dialog, nullptr,
                                nullptr, nullptr);
    if (!tips) return;
    for (int id : {IDC_SET, IDC_VALUE}) {
        WCHAR text[128];
        if (LoadStringW(nullptr, static_cast<UINT>(id), text, 128) <= 0) continue;
        TOOLINFOW tool{sizeof(TOOLINFOW), TTF_IDISHWND | TTF_SUBCLASS, dialog,
                       reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, id)), {}, nullptr, text, 0, nullptr};
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

ToolModel& model_of(HWND dialog) { return *reinterpret_cast<ToolModel*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

std::string edit_text(HWND dialog) {
    char text[kEditLimit + 1] = {};
    GetDlgItemTextA(dialog, IDC_VALUE, text, sizeof text);
    return text;
}

INT_PTR CALLBACK collection_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* start = reinterpret_cast<const Start*>(lparam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(start->model));
        SetPropW(dialog, reinterpret_cast<LPCWSTR>(start->property.c_str()), reinterpret_cast<HANDLE>(1));
        SendDlgItemMessageW(dialog, IDC_VALUE_SPIN, UDM_SETRANGE32, 0, kMaxTime);
        SendDlgItemMessageW(dialog, IDC_VALUE, EM_LIMITTEXT, kEditLimit, 0);
        SetDlgItemTextA(dialog, IDC_VALUE, std::to_string(kDefaultTime).c_str());
        add_tool_tips(dialog);
        SetFocus(GetDlgItem(dialog, IDC_VALUE));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_SET && HIWORD(wparam) == BN_CLICKED) {
            DialogView view(dialog);
            model_of(dialog).set(edit_text(dialog), view);
            return TRUE;
        }
        if (LOWORD(wparam) == IDC_CLOSE || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) != sc_minimize) return FALSE;
        ShowWindow(dialog, SW_MINIMIZE);
        return TRUE;
    case WM_DESTROY:
        model_of(dialog).close();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR run_collection_dialog(ToolModel& model, const std::u16string& property) {
    Start start{&model, property};
    return DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_COLLECTION_TIME), nullptr, collection_proc,
                           reinterpret_cast<LPARAM>(&start));
}

HWND create_collection_dialog(ToolModel& model, const std::u16string& property) {
    Start start{&model, property};
    return CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_COLLECTION_TIME), nullptr, collection_proc,
                              reinterpret_cast<LPARAM>(&start));
}

}  // namespace tool
