// Pop-up menus and menu bars on QMenu / QMenuBar, rebuilt from the table.
#include "menu_widgets.h"

#include "menu_table.h"
#include "window_table.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

namespace qorui {
namespace {

constexpr UINT kOff = MF_GRAYED | MF_DISABLED;
const char* const kMenuBarName = "qor_menubar";

class LayerMenu : public QMenu {
public:
    LayerMenu(HMENU menu, const MenuUse& use, int index, QWidget* parent)
        : QMenu(parent), menu_(menu), use_(use), index_(index) {
        connect(this, &QMenu::aboutToShow, this, [this] {
            send_init_popup(use_, menu_, index_);
            rebuild();
        });
        connect(this, &QMenu::hovered, this, [this](QAction* action) { hovered(action); });
        if (!dynamic_cast<LayerMenu*>(parent))
            connect(this, &QMenu::aboutToHide, this, [this] { send_menu_closed(use_); });
        rebuild();
    }

    HMENU handle() const { return menu_; }

    void rebuild() {
        auto entries = menu_entries(menu_);
        clear();
        for (QMenu* child : findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) delete child;
        if (!entries) return;
        int position = 0;
        for (const MenuEntry& entry : *entries) {
            QAction* action;
            if (entry.flags & MF_SEPARATOR) {
                action = addSeparator();
            } else if (entry.flags & MF_POPUP) {
                QMenu* child = new LayerMenu(entry.popup, use_, position, this);
                child->setTitle(QString::fromStdU16String(entry.text));
                action = addMenu(child);
            } else {
                action = addAction(QString::fromStdU16String(entry.text));
                action->setProperty("qor_command", QVariant::fromValue<qulonglong>(entry.id));
                if (entry.flags & MF_CHECKED) {
                    action->setCheckable(true);
                    action->setChecked(true);
                }
                if (use_.post) {
                    UINT_PTR id = entry.id;
                    MenuUse use = use_;
                    connect(action, &QAction::triggered, this, [use, id] {
                        PostMessageW(use.owner, use.system ? WM_SYSCOMMAND : WM_COMMAND, id, 0);
                    });
                }
            }
            action->setEnabled(!(entry.flags & kOff));
            action->setProperty("qor_position", position++);
        }
    }

private:
    void hovered(QAction* action) {
        auto entries = menu_entries(menu_);
        int position = action->property("qor_position").toInt();
        if (!entries || position < 0 || static_cast<size_t>(position) >= entries->size()) return;
        const MenuEntry& entry = (*entries)[static_cast<size_t>(position)];
        UINT item = (entry.flags & MF_POPUP) ? static_cast<UINT>(position) : static_cast<UINT>(entry.id);
        send_menu_select(use_, menu_, item, entry.flags);
    }

    HMENU menu_;
    MenuUse use_;
    int index_;
};

QMenuBar* bar_of(QWidget* frame) { return frame->findChild<QMenuBar*>(kMenuBarName, Qt::FindDirectChildrenOnly); }

// Moves the frame's children below a bar: they go into a client widget
// that the frame's layout keeps under the menu bar.
QMenuBar* ensure_bar(Window& window) {
    QWidget* frame = window.widget;
    if (QMenuBar* bar = bar_of(frame)) return bar;
    auto* client = new QWidget(frame);
    for (QObject* object : frame->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child == client || child->isWindow()) continue;
        bool shown = !child->isHidden();
        QRect place = child->geometry();
        child->setParent(client);
        child->setGeometry(place);
        child->setVisible(shown);
    }
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(client);
    auto* bar = new QMenuBar(frame);
    bar->setObjectName(kMenuBarName);
    bar->setNativeMenuBar(false);
    layout->setMenuBar(bar);
    window.client = client;
    return bar;
}

void fill_bar(QMenuBar* bar, HWND owner, HMENU menu) {
    bar->clear();
    for (QMenu* child : bar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) delete child;
    auto entries = menu_entries(menu);
    if (!entries) return;
    MenuUse use{owner, false, true, true};
    int position = 0;
    for (const MenuEntry& entry : *entries) {
        QAction* action;
        if (entry.flags & MF_SEPARATOR) {
            action = bar->addSeparator();
        } else if (entry.flags & MF_POPUP) {
            QMenu* child = make_menu(entry.popup, use, position, bar);
            child->setTitle(QString::fromStdU16String(entry.text));
            action = bar->addMenu(child);
        } else {
            action = bar->addAction(QString::fromStdU16String(entry.text));
            action->setProperty("qor_command", QVariant::fromValue<qulonglong>(entry.id));
            UINT_PTR id = entry.id;
            QObject::connect(action, &QAction::triggered, bar, [owner, id] { PostMessageW(owner, WM_COMMAND, id, 0); });
            QObject::connect(action, &QAction::hovered, bar,
                             [use, menu, id, flags = entry.flags] { send_menu_select(use, menu, static_cast<UINT>(id), flags); });
        }
        action->setEnabled(!(entry.flags & kOff));
        ++position;
    }
}

// A bar's top-level items change in place, so a pop-up of it that is open
// (a change made while handling WM_INITMENUPOPUP) is never deleted.
bool update_bar_in_place(QMenuBar* bar, HMENU menu) {
    auto entries = menu_entries(menu);
    QList<QAction*> actions = bar->actions();
    if (!entries || static_cast<size_t>(actions.size()) != entries->size()) return false;
    for (size_t k = 0; k < entries->size(); ++k) {
        const MenuEntry& entry = (*entries)[k];
        QAction* action = actions[static_cast<qsizetype>(k)];
        auto* popup = dynamic_cast<LayerMenu*>(action->menu());
        if ((entry.flags & MF_POPUP) ? (!popup || popup->handle() != entry.popup) : popup != nullptr) return false;
        action->setText(QString::fromStdU16String(entry.text));
        action->setEnabled(!(entry.flags & kOff));
    }
    return true;
}

}  // namespace

QMenu* make_menu(HMENU menu, const MenuUse& use, int index, QWidget* parent) {
    return new LayerMenu(menu, use, index, parent);
}

UINT_PTR command_of(const QAction* action) {
    return action ? static_cast<UINT_PTR>(action->property("qor_command").toULongLong()) : 0;
}

void send_menu_select(const MenuUse& use, HMENU menu, UINT item, UINT flags) {
    if (!use.notify || !use.owner) return;
    UINT shown = (flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP)) | MF_HILITE | MF_MOUSESELECT |
                 (use.system ? MF_SYSMENU : 0);
    SendMessageW(use.owner, WM_MENUSELECT, MAKELONG(item, shown), reinterpret_cast<LPARAM>(menu));
}

void send_menu_closed(const MenuUse& use) {
    if (!use.notify || !use.owner) return;
    SendMessageW(use.owner, WM_MENUSELECT, MAKELONG(0, 0xFFFF), 0);
}

void send_init_popup(const MenuUse& use, HMENU menu, int index) {
    if (!use.notify || !use.owner) return;
    SendMessageW(use.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                 MAKELONG(static_cast<WORD>(index), use.system ? 1 : 0));
}

void menu_changed(HMENU menu) {
    if (!QCoreApplication::instance()) return;
    // Gathered first: a rebuild deletes the submenus of the one rebuilt.
    std::vector<QPointer<LayerMenu>> showing;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* shown = dynamic_cast<LayerMenu*>(widget); shown && shown->handle() == menu) showing.emplace_back(shown);
    for (auto& shown : showing)
        if (shown) shown->rebuild();
    for (const auto& window : all_windows())
        if (window->menu == menu && window->widget)
            if (QMenuBar* bar = bar_of(window->widget); bar && !update_bar_in_place(bar, menu))
                fill_bar(bar, window->handle, menu);
}

}  // namespace qorui

using namespace qorui;

extern "C" {

BOOL SetMenu(HWND handle, HMENU menu) {
    auto window = find_window(handle);
    if (!window || !window->widget || (window->style & WS_CHILD) || (menu && !menu_exists(menu))) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->menu = menu;
    QMenuBar* bar = ensure_bar(*window);
    fill_bar(bar, handle, menu);
    bar->setVisible(menu != nullptr);
    return TRUE;
}

HMENU GetMenu(HWND handle) {
    auto window = find_window(handle);
    return window ? window->menu : nullptr;
}

BOOL DrawMenuBar(HWND handle) {
    auto window = find_window(handle);
    if (!window || !window->widget || !window->menu) return FALSE;
    if (QMenuBar* bar = bar_of(window->widget)) fill_bar(bar, handle, window->menu);
    return TRUE;
}

}  // extern "C"
