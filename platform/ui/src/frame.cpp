// The single-document frame: menu bar, dialog bar, form and status bar,
// laid out in the frame's client area, with the menu prompts.
#include "frame_prompts.h"
#include "window_table.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>

#include <map>

namespace qorui {
namespace {

struct Frame {
    HINSTANCE instance = nullptr;
    HWND bar = nullptr, form = nullptr, status = nullptr;
    UINT idle_text = 0;
    QSize bar_size, form_size;
};

// Frames belong to the GUI thread, like their windows.
std::map<HWND, Frame>& frames() {
    static auto* all = new std::map<HWND, Frame>;
    return *all;
}

Frame* frame_of(HWND handle) {
    auto found = frames().find(handle);
    return found == frames().end() ? nullptr : &found->second;
}

QWidget* widget_of(HWND handle) {
    auto window = find_window(handle);
    return window ? window->widget.data() : nullptr;
}

int height_of(HWND handle) {
    QWidget* widget = widget_of(handle);
    return widget ? widget->height() : 0;
}

void lay_out(HWND handle) {
    Frame* frame = frame_of(handle);
    auto window = find_window(handle);
    if (!frame || !window) return;
    QWidget* client = client_widget(*window);
    int width = client->width(), top = height_of(frame->bar), bottom = client->height() - height_of(frame->status);
    if (QWidget* bar = widget_of(frame->bar)) bar->setGeometry(0, 0, width, top);
    if (QWidget* status = widget_of(frame->status)) status->setGeometry(0, bottom, width, status->height());
    if (QWidget* form = widget_of(frame->form)) form->setGeometry(0, top, width, std::max(0, bottom - top));
}

class FrameLayout : public QObject {
public:
    explicit FrameLayout(HWND frame) : frame_(frame) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) lay_out(frame_);
        return false;
    }

private:
    HWND frame_;
};

QString string_of(HINSTANCE instance, UINT id) {
    LPCWSTR text = nullptr;
    int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length) : QString();
}

void set_status(HWND status, const QString& text) {
    std::u16string wide = to_u16(text);
    SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// Window flags for the frame's style: the boxes it asks for, and no sizing
// border unless WS_THICKFRAME.
void apply_style(QWidget* widget, DWORD style) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint;
    if (style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    bool shown = widget->isVisible();
    widget->setWindowFlags(flags);
    if (shown) widget->show();
}

HWND make_child_dialog(HWND frame, const QOR_FRAME_PARTS& parts, LPCWSTR name, DLGPROC proc) {
    if (!name) return nullptr;
    HWND dialog = CreateDialogParamW(parts.instance, name, frame, proc, parts.param);
    if (QWidget* widget = widget_of(dialog)) widget->show();
    return dialog;
}

}  // namespace

void show_menu_prompt(HWND owner, UINT item, UINT flags, bool closed) {
    Frame* frame = frame_of(owner);
    if (!frame) return;
    QString text;
    if (closed) text = string_of(frame->instance, frame->idle_text);
    else if (!(flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU))) text = string_of(frame->instance, item).section(u'\n', 0, 0);
    set_status(frame->status, text);
}

}  // namespace qorui

using namespace qorui;

extern "C" {

BOOL QorUiAttachFrame(HWND handle, const QOR_FRAME_PARTS* parts) {
    auto window = find_window(handle);
    if (!window || !window->widget || !parts || frame_of(handle)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMENU menu = parts->menu ? LoadMenuW(parts->instance, parts->menu) : nullptr;
    HACCEL keys = parts->accelerators ? LoadAcceleratorsW(parts->instance, parts->accelerators) : nullptr;
    if ((parts->menu && !menu) || (parts->accelerators && !keys)) {
        if (menu) DestroyMenu(menu);
        if (keys) DestroyAcceleratorTable(keys);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return FALSE;
    }
    apply_style(window->widget, window->style);
    if (menu) SetMenu(handle, menu);
    if (keys) TranslateAcceleratorW(handle, keys, nullptr);

    Frame& frame = frames()[handle];
    frame.instance = parts->instance;
    frame.idle_text = parts->idle_text;
    frame.bar = make_child_dialog(handle, *parts, parts->dialog_bar, parts->dialog_bar_proc);
    frame.form = make_child_dialog(handle, *parts, parts->form, parts->form_proc);
    frame.status = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, handle, nullptr,
                                   parts->instance, nullptr);
    if (QWidget* bar = widget_of(frame.bar)) frame.bar_size = bar->size();
    if (QWidget* form = widget_of(frame.form)) frame.form_size = form->size();
    set_status(frame.status, string_of(parts->instance, parts->idle_text));

    QWidget* client = client_widget(*window);
    auto* layout = new FrameLayout(handle);
    layout->setParent(client);
    client->installEventFilter(layout);
    QObject::connect(window->widget.data(), &QObject::destroyed, [handle] { frames().erase(handle); });
    lay_out(handle);
    return TRUE;
}

HWND QorUiFramePart(HWND handle, int part) {
    Frame* frame = frame_of(handle);
    if (!frame) return nullptr;
    switch (part) {
    case QOR_FRAME_BAR: return frame->bar;
    case QOR_FRAME_FORM: return frame->form;
    case QOR_FRAME_STATUS: return frame->status;
    default: return nullptr;
    }
}

BOOL QorUiFitFrameToForm(HWND handle, BOOL center) {
    Frame* frame = frame_of(handle);
    auto window = find_window(handle);
    if (!frame || !window || !window->widget) return FALSE;
    QWidget* widget = window->widget;
    QMenuBar* menu_bar = widget->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    int menu_height = menu_bar && menu_bar->isVisibleTo(widget) ? menu_bar->sizeHint().height() : 0;
    int width = std::max(frame->form_size.width(), frame->bar_size.width());
    int height = menu_height + frame->bar_size.height() + frame->form_size.height() + height_of(frame->status);
    widget->setFixedSize(width, height);
    if (QLayout* layout = widget->layout()) layout->activate();  // the client follows now, shown or not
    if (center)
        if (QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen())
            widget->move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));
    lay_out(handle);
    return TRUE;
}

}  // extern "C"
