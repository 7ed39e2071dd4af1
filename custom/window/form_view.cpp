#include "form_view.h"

#include "form_rules.h"
#include "resource.h"

#include "qor/support/utf.h"

#include <string>

namespace custom_window {
namespace {

using custom::List;

MainState& state_of(HWND form) { return *reinterpret_cast<MainState*>(GetWindowLongPtrW(form, DWLP_USER)); }

// The separate labels of the five serial lists.
int label_of(List list) {
    switch (list) {
    case List::BaudRate: return IDC_LABEL_BAUD;
    case List::BitLength: return IDC_LABEL_BITS;
    case List::Parity: return IDC_LABEL_PARITY;
    case List::StopBit: return IDC_LABEL_STOP;
    case List::DataControl: return IDC_LABEL_FLOW;
    default: return 0;
    }
}

void fill_list(HWND form, const custom::ListInfo& list, const custom::ListView& view, int selection) {
    HWND combo = GetDlgItem(form, list.control_id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (std::string_view item : view.items) {
        std::u16string wide = qor::utf8_to_utf16(std::string(item));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    EnableWindow(combo, view.enabled);
    ShowWindow(combo, view.visible ? SW_SHOW : SW_HIDE);
    if (int label = label_of(list.list)) {
        SetDlgItemTextA(form, label, std::string(view.label).c_str());
        ShowWindow(GetDlgItem(form, label), view.visible ? SW_SHOW : SW_HIDE);
    }
}

void run_command(HWND form, int id) {
    custom::SetupTool& tool = state_of(form).tool;
    switch (id) {
    case custom::command::kLoadPrinter:
        tool.selections() = custom::no_selections();
        show_form(form, tool);  // the lists empty while the read runs
        tool.load_printer();
        break;
    case custom::command::kDefaultD510x: tool.load_defaults(custom::Model::D510x); break;
    case custom::command::kDefaultD610x: tool.load_defaults(custom::Model::D610x); break;
    case custom::command::kWrite: tool.write_settings(); break;
    case custom::command::kTestPrint: tool.test_print(); break;
    case custom::command::kReset: tool.reset(); break;
    default: break;  // ID_REFRESH_FORM and the rest: shown again below
    }
}

}  // namespace

void show_form(HWND form, const custom::SetupTool& tool) {
    HWND bar = QorUiFramePart(GetParent(form), QOR_FRAME_BAR);
    for (const custom::ListInfo& list : custom::lists()) {
        auto view = custom::list_view(list.list, tool.interface_kind(), tool.mask());
        fill_list(form, list, view, custom::at(tool.selections(), list.list));
    }
    if (bar) EnableWindow(GetDlgItem(bar, ID_WRITE), custom::command_enabled(custom::command::kWrite, tool.acquired()));
}

INT_PTR CALLBACK form_proc(HWND form, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(form, DWLP_USER, lparam);
        return TRUE;
    case WM_COMMAND: {
        MainState& state = state_of(form);
        int id = LOWORD(wparam);
        if (lparam) {
            // A list's own notification; its id may also be a command's
            // (1020 is Auto online and Load the Printer), so only a choice
            // is taken here.
            if (HIWORD(wparam) != CBN_SELCHANGE) return FALSE;
            for (const custom::ListInfo& list : custom::lists())
                if (list.control_id == id)
                    custom::at(state.tool.selections(), list.list) =
                        static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lparam), CB_GETCURSEL, 0, 0));
            return TRUE;
        }
        run_command(form, id);
        show_form(form, state.tool);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace custom_window
