// Registered window classes and CreateWindowEx.
#include "control.h"
#include "remote_windows.h"
#include "window_table.h"

#include <QCloseEvent>
#include <QWidget>

using namespace qorui;

namespace {

struct WindowClass {
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
};

// Classes, like windows, belong to the GUI thread.
std::map<QString, WindowClass>& classes() {
    static auto* table = new std::map<QString, WindowClass>;
    return *table;
}
ATOM next_atom = 0xC000;

QString class_key(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& [key, registered] : classes())
            if (registered.atom == atom) return key;
        return {};
    }
    return to_qstring(name).toLower();
}

// A top-level window of a registered class: closing asks the procedure.
class FrameWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void closeEvent(QCloseEvent* event) override { close_through_procedure(this, event); }
};

int pick(int value, int fallback) { return value == CW_USEDEFAULT ? fallback : value; }

}  // namespace

extern "C" {

ATOM RegisterClassExW(const WNDCLASSEXW* window_class) {
    if (!window_class || !window_class->lpszClassName || IS_INTRESOURCE(window_class->lpszClassName) ||
        !window_class->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    QString key = class_key(window_class->lpszClassName);
    if (classes().count(key)) {
        SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    ATOM atom = next_atom++;
    classes()[key] = WindowClass{window_class->lpfnWndProc, window_class->hInstance, atom};
    return atom;
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE) { return classes().erase(class_key(class_name)) > 0; }

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    ensure_application();
    if (parent == HWND_MESSAGE) parent = nullptr;
    auto parent_window = parent ? find_window(parent) : nullptr;
    if (parent && !parent_window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    QWidget* parent_widget = parent_window ? client_widget(*parent_window) : nullptr;
    bool child = (style & WS_CHILD) && parent_widget;

    auto window = std::make_shared<Window>();
    window->parent = parent;
    window->style = style;
    window->ex_style = ex_style;
    window->id = child ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
    QString name = IS_INTRESOURCE(class_name) ? QString() : to_qstring(class_name);
    auto registered = classes().find(class_key(class_name));
    if (registered != classes().end()) {
        window->wndproc = registered->second.proc;
        window->class_name = to_u16(name.isEmpty() ? registered->first : name);
        window->widget = child ? new QWidget(parent_widget) : new FrameWidget(parent_widget ? parent_widget->window() : nullptr,
                                                                           parent_widget ? Qt::Window : Qt::WindowFlags());
    } else {
        ControlSpec spec{to_u16(name), style, to_qstring(title), child ? parent_widget : nullptr};
        if (name.isEmpty() || !create_control(spec, *window)) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
    }
    QWidget* widget = window->widget;
    if (!window->control) widget->setWindowTitle(to_qstring(title));
    widget->setGeometry(pick(x, 0), pick(y, 0), std::max(pick(width, 400), 1), std::max(pick(height, 300), 1));
    if (style & WS_DISABLED) widget->setEnabled(false);
    HWND handle = add_window(window);
    if (window->control) window->control->attach(*window);

    if (window->wndproc) {
        CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), title,
                             class_name, ex_style};
        if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
            DestroyWindow(handle);
            return nullptr;
        }
    }
    if (style & WS_VISIBLE) widget->show();
    if (!child && !window->control) window_changed(handle);
    return handle;
}

}  // extern "C"
