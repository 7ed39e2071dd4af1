// Dialogs from templates: modal, modeless and embedded (property pages).
#include "control.h"
#include "dialog_font.h"
#include "help_events.h"
#include "remote_windows.h"
#include "templates.h"
#include "window_table.h"

#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>

using namespace qorui;

namespace {

// A top-level dialog: closing and Escape go to the dialog procedure as the
// platform's WM_CLOSE and IDCANCEL instead of closing the widget.
class DialogWidget : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void closeEvent(QCloseEvent* event) override { close_through_procedure(this, event); }
    void reject() override {
        if (HWND self = handle_of(this)) SendMessageW(self, WM_COMMAND, IDCANCEL, 0);
    }
};

QWidget* widget_of(HWND handle) {
    auto window = find_window(handle);
    return window ? window->widget.data() : nullptr;
}

bool load_template(HINSTANCE instance, LPCWSTR name, const uint8_t*& data, size_t& size) {
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(5));
    if (!resource) return false;
    data = static_cast<const uint8_t*>(LockResource(LoadResource(instance, resource)));
    size = SizeofResource(instance, resource);
    return data != nullptr;
}

std::shared_ptr<Window> make_item(const DialogItem& item, HWND dialog, QWidget* page, const DialogUnits& units) {
    auto window = std::make_shared<Window>();
    window->parent = dialog;
    window->id = static_cast<int>(item.id);
    window->style = item.style;
    window->ex_style = item.ex_style;
    ControlSpec spec;
    spec.class_name = control_class(item.window_class.ordinal, item.window_class.text);
    spec.style = item.style;
    spec.text = QString::fromStdU16String(item.title.text);
    spec.title_ordinal = item.title.ordinal;
    spec.parent = page;
    if (!create_control(spec, *window)) return nullptr;
    QWidget* widget = window->widget;
    int height = units.y(item.cy);
    // A combo box's template height includes its dropped list.
    if (spec.class_name == WC_COMBOBOXW) height = std::min(height, widget->sizeHint().height());
    widget->setGeometry(units.x(item.x), units.y(item.y), units.x(item.cx), height);
    widget->setEnabled(!(item.style & WS_DISABLED));
    widget->setVisible(item.style & WS_VISIBLE);
    if (!(item.style & WS_TABSTOP)) widget->setFocusPolicy(Qt::ClickFocus);
    watch_help_requests(widget);
    return window;
}

HWND build_dialog(const uint8_t* data, size_t size, QWidget* parent_widget, bool embedded, HWND parent,
                  DLGPROC proc, LPARAM param) {
    auto parsed = read_dialog_template(data, size);
    if (!parsed) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    ensure_application();
    // A child dialog (a frame's dialog bar or form) lives in its parent's
    // client area.
    if (!embedded && (parsed->style & WS_CHILD) && parent)
        if (auto owner = find_window(parent); owner && owner->widget) {
            embedded = true;
            parent_widget = client_widget(*owner);
        }
    QFont font = parsed->has_font
                     ? dialog_font(QString::fromStdU16String(parsed->face), parsed->point_size, parsed->weight, parsed->italic)
                     : dialog_font(QString(), 8, 0, false);
    DialogUnits units = dialog_units(font);

    QWidget* page = embedded ? new QWidget(parent_widget) : new DialogWidget(parent_widget ? parent_widget->window() : nullptr);
    page->setFont(font);
    page->setWindowTitle(QString::fromStdU16String(parsed->title));
    int width = units.x(parsed->cx), height = units.y(parsed->cy);
    page->resize(width, height);
    if (!embedded && !(parsed->style & WS_THICKFRAME)) page->setFixedSize(width, height);

    auto dialog = std::make_shared<Window>();
    dialog->widget = page;
    dialog->parent = parent;
    dialog->style = parsed->style;
    dialog->ex_style = parsed->ex_style;
    dialog->dlgproc = proc;
    dialog->is_dialog = true;
    dialog->class_name = u"#32770";
    HWND handle = add_window(dialog);

    std::vector<std::shared_ptr<Window>> items;
    for (const DialogItem& item : parsed->items) {
        auto window = make_item(item, handle, page, units);
        if (!window) {
            for (auto& made : items) remove_window(made->handle);
            remove_window(handle);
            delete page;
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        add_window(window);
        items.push_back(window);
    }
    for (auto& item : items) item->control->attach(*item);

    HWND first_tab = nullptr;
    for (auto& item : items)
        if ((item->style & WS_TABSTOP) && !(item->style & WS_DISABLED)) {
            first_tab = item->handle;
            break;
        }
    LRESULT focus = SendMessageW(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_tab), param);
    if (focus && first_tab && IsWindow(first_tab)) SetFocus(first_tab);
    window_changed(handle);
    return handle;
}

HWND create_from_resource(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!load_template(instance, name, data, size)) return nullptr;
    return build_dialog(data, size, widget_of(parent), false, parent, proc, param);
}

INT_PTR run_modal(HWND handle) {
    if (!handle) return -1;
    auto dialog = find_window(handle);
    if (!dialog->ended) {
        QWidget* widget = dialog->widget;
        widget->setWindowModality(Qt::ApplicationModal);
        widget->show();
        QEventLoop loop;
        dialog->modal_loop = &loop;
        loop.exec();
        dialog->modal_loop = nullptr;
    }
    INT_PTR result = dialog->dialog_result;
    DestroyWindow(handle);
    return result;
}

std::u16string widen(LPCSTR name) {
    return to_u16(QString::fromUtf8(name));
}

}  // namespace

extern "C" {

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    return run_modal(create_from_resource(instance, name, parent, proc, param));
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    if (IS_INTRESOURCE(name)) return DialogBoxParamW(instance, reinterpret_cast<LPCWSTR>(name), parent, proc, param);
    std::u16string wide = widen(name);
    return DialogBoxParamW(instance, reinterpret_cast<LPCWSTR>(wide.c_str()), parent, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE, const void* dialog_template, HWND parent, DLGPROC proc, LPARAM param) {
    // The caller vouches for the template; its size is what the reader needs.
    constexpr size_t kUnbounded = size_t{1} << 20;
    return run_modal(build_dialog(static_cast<const uint8_t*>(dialog_template), kUnbounded, widget_of(parent), false,
                                  parent, proc, param));
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    HWND handle = create_from_resource(instance, name, parent, proc, param);
    auto dialog = find_window(handle);
    if (dialog && (dialog->style & WS_VISIBLE)) dialog->widget->show();
    return handle;
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    if (IS_INTRESOURCE(name)) return CreateDialogParamW(instance, reinterpret_cast<LPCWSTR>(name), parent, proc, param);
    std::u16string wide = widen(name);
    return CreateDialogParamW(instance, reinterpret_cast<LPCWSTR>(wide.c_str()), parent, proc, param);
}

HWND CreateDialogIndirectParamW(HINSTANCE, const void* dialog_template, DWORD size, HWND parent, DLGPROC proc,
                                LPARAM param) {
    HWND handle = build_dialog(static_cast<const uint8_t*>(dialog_template), size, widget_of(parent), false, parent,
                               proc, param);
    auto dialog = find_window(handle);
    if (dialog && (dialog->style & WS_VISIBLE)) dialog->widget->show();
    return handle;
}

HWND QorUiCreatePage(HINSTANCE instance, LPCWSTR name, void* parent_widget, HWND parent, DLGPROC proc, LPARAM param) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!load_template(instance, name, data, size)) return nullptr;
    HWND handle = build_dialog(data, size, static_cast<QWidget*>(parent_widget), true, parent, proc, param);
    if (auto page = find_window(handle)) page->widget->show();
    return handle;
}

HWND QorUiCreatePageIndirect(const void* dialog_template, DWORD size, void* parent_widget, HWND parent, DLGPROC proc,
                             LPARAM param) {
    HWND handle = build_dialog(static_cast<const uint8_t*>(dialog_template), size, static_cast<QWidget*>(parent_widget),
                               true, parent, proc, param);
    if (auto page = find_window(handle)) page->widget->show();
    return handle;
}

INT_PTR QorUiPlainBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

BOOL EndDialog(HWND handle, INT_PTR result) {
    auto dialog = find_window(handle);
    if (!dialog || !dialog->is_dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dialog->ended = true;
    dialog->dialog_result = result;
    if (dialog->widget) dialog->widget->hide();
    if (dialog->modal_loop) dialog->modal_loop->quit();
    return TRUE;
}

BOOL IsDialogMessageW(HWND, LPMSG) { return FALSE; }

BOOL MapDialogRect(HWND handle, LPRECT rect) {
    auto dialog = find_window(handle);
    if (!dialog || !dialog->widget || !rect) return FALSE;
    DialogUnits units = dialog_units(dialog->widget->font());
    *rect = RECT{units.x(rect->left), units.y(rect->top), units.x(rect->right), units.y(rect->bottom)};
    return TRUE;
}

LONG GetDialogBaseUnits(void) {
    ensure_application();
    DialogUnits units = dialog_units(dialog_font(QString(), 8, 0, false));
    return MAKELONG(units.base_x, units.base_y);
}

}  // extern "C"
