#include "main_window.h"

#include "form_rules.h"
#include "form_view.h"
#include "resource.h"
#include "texts.h"

#include "qor/support/utf.h"

namespace custom_window {
namespace {

constexpr char16_t kClassName[] = u"QorCustomFrame";
constexpr char kCaption[] = "QOR Printer Hardware Setup";
constexpr char16_t kFilter[] = u"QOR Setup Files (*.dip)\0*.dip\0";
constexpr char kFailedToSave[] = "Failed to save document.";

MainState& state_of(HWND main) { return *reinterpret_cast<MainState*>(GetWindowLongPtrW(main, GWLP_USERDATA)); }

INT_PTR CALLBACK bar_proc(HWND bar, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    // The bar's button is the write command, routed as the menu's.
    if (message == WM_COMMAND && LOWORD(wparam) == ID_WRITE && HIWORD(wparam) == BN_CLICKED) {
        PostMessageW(GetParent(bar), WM_COMMAND, ID_WRITE, 0);
        return TRUE;
    }
    return FALSE;
}

// "<file> - QOR Printer" once a document has a name.
void show_title(HWND main, const std::string& document) {
    if (document.empty()) return;
    std::string name = document.substr(document.find_last_of("/\\") + 1);
    SetWindowTextA(main, (name + " - QOR Printer").c_str());
}

void refresh(HWND main) { show_form(form_of(main), state_of(main).tool); }

// The file dialog's path, empty when cancelled.
std::string ask_path(HWND main, bool save) {
    char16_t path[4096] = u"QORSetup.dip";
    if (!save) path[0] = 0;
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = main;
    dialog.lpstrFilter = reinterpret_cast<LPCWSTR>(kFilter);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = reinterpret_cast<LPWSTR>(path);
    dialog.nMaxFile = static_cast<DWORD>(std::size(path));
    dialog.lpstrDefExt = u"dip";
    dialog.lpstrInitialDir = save ? nullptr : u"Dat";
    dialog.Flags = save ? OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT
                        : OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? qor::utf16_to_utf8(path) : std::string();
}

void save(HWND main, bool ask) {
    MainState& state = state_of(main);
    std::string path = ask || state.document.empty() ? ask_path(main, true) : state.document;
    if (path.empty()) return;
    if (!state.tool.save_file(path)) {
        MessageBoxA(main, kFailedToSave, custom::texts::kProgramTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    state.document = path;
    show_title(main, path);
}

void load_file(HWND main) {
    std::string path = ask_path(main, false);
    if (path.empty()) return;
    state_of(main).tool.load_file_dialog(path);
    refresh(main);
}

void enable_items(HWND main, HMENU menu) {
    bool acquired = state_of(main).tool.acquired();
    for (int k = 0; k < GetMenuItemCount(menu); ++k) {
        UINT id = GetMenuItemID(menu, k);
        if (id == static_cast<UINT>(-1) || id == 0) continue;
        EnableMenuItem(menu, static_cast<UINT>(k),
                       MF_BYPOSITION | (custom::command_enabled(static_cast<int>(id), acquired) ? MF_ENABLED : MF_GRAYED));
    }
}

void dropped(HWND main, HDROP drop) {
    std::u16string path(DragQueryFileW(drop, 0, nullptr, 0), u'\0');
    UINT length = DragQueryFileW(drop, 0, reinterpret_cast<LPWSTR>(path.data()), static_cast<UINT>(path.size() + 1));
    DragFinish(drop);
    if (length == 0) return;
    initialise_form(main, qor::utf16_to_utf8(path.c_str(), length));
}

bool command(HWND main, int id) {
    switch (id) {
    case custom::command::kLoadPrinter:
    case custom::command::kDefaultD510x:
    case custom::command::kDefaultD610x:
    case custom::command::kWrite:
    case custom::command::kTestPrint:
    case custom::command::kReset:
    case ID_REFRESH_FORM:
        SendMessageW(form_of(main), WM_COMMAND, static_cast<WPARAM>(id), 0);
        return true;
    case custom::command::kLoadFile: load_file(main); return true;
    case custom::command::kSave: save(main, false); return true;
    case custom::command::kSaveAs: save(main, true); return true;
    case custom::command::kExit: SendMessageW(main, WM_CLOSE, 0, 0); return true;
    case custom::command::kVersion:
        DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_ABOUTBOX), main, QorUiPlainBoxProc, 0);
        return true;
    default: return false;
    }
}

LRESULT CALLBACK frame_proc(HWND main, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* state = static_cast<MainState*>(create->lpCreateParams);
        SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        QOR_FRAME_PARTS parts{nullptr,  MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(IDR_MAINFRAME),
                              MAKEINTRESOURCEW(IDD_PRINTER_BAR), bar_proc, MAKEINTRESOURCEW(IDD_FORM), form_proc,
                              reinterpret_cast<LPARAM>(state), IDS_IDLE};
        if (!QorUiAttachFrame(main, &parts)) return -1;
        HWND bar = QorUiFramePart(main, QOR_FRAME_BAR);
        SetDlgItemTextA(bar, IDC_PRINTER_NAME, state->tool.printer_name().c_str());
        SetDlgItemTextA(bar, IDC_PORT_NAME, state->tool.port_name().c_str());
        state->host.set_owner(main);
        refresh(main);
        return 0;
    }
    case WM_INITMENUPOPUP:
        enable_items(main, reinterpret_cast<HMENU>(wparam));
        return 0;
    case WM_COMMAND:
        if (command(main, LOWORD(wparam))) return 0;
        break;
    case WM_DROPFILES:
        dropped(main, reinterpret_cast<HDROP>(wparam));
        return 0;
    case WM_CLOSE:
        DestroyWindow(main);
        return 0;
    case WM_DESTROY:
        if (!state_of(main).property.empty()) RemovePropW(main, reinterpret_cast<LPCWSTR>(state_of(main).property.c_str()));
        state_of(main).host.set_owner(nullptr);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(main, message, wparam, lparam);
}

}  // namespace

HWND create_main_window(MainState& state) {
    static bool registered = [] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = frame_proc;
        window_class.lpszClassName = reinterpret_cast<LPCWSTR>(kClassName);
        return RegisterClassExW(&window_class) != 0;
    }();
    if (!registered) return nullptr;
    HWND main = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(kClassName), u"QOR Printer",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, 400, 300, nullptr, nullptr, nullptr, &state);
    if (main) SetWindowTextA(main, kCaption);
    return main;
}

HWND form_of(HWND main) { return QorUiFramePart(main, QOR_FRAME_FORM); }

void initialise_form(HWND main, const std::string& document) {
    MainState& state = state_of(main);
    QorUiFitFrameToForm(main, !state.centred);
    state.centred = true;
    if (document.empty()) {
        SendMessageW(form_of(main), WM_COMMAND, custom::command::kLoadPrinter, 0);
        return;
    }
    state.tool.selections() = custom::no_selections();
    refresh(main);
    if (state.tool.open_document(document)) {
        state.document = document;
        show_title(main, document);
    }
    refresh(main);
}

}  // namespace custom_window
