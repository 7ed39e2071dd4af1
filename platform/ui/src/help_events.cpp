// F1 and context-menu requests on a dialog's controls, as WM_HELP and
// WM_CONTEXTMENU to the dialog.
#include "help_events.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

namespace qorui {
namespace {

class HelpWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        HWND control = handle_of(widget);
        auto window = find_window(control);
        if (!window || !window->parent) return false;
        if (event->type() == QEvent::ContextMenu) {
            QPoint at = static_cast<QContextMenuEvent*>(event)->globalPos();
            SendMessageW(window->parent, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                         MAKELONG(static_cast<WORD>(at.x()), static_cast<WORD>(at.y())));
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            QPoint at = widget->mapToGlobal(QPoint(0, 0));
            HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, window->id, control, 0, {at.x(), at.y()}};
            SendMessageW(window->parent, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
            return true;
        }
        return false;
    }
};

}  // namespace

void watch_help_requests(QWidget* control) {
    static auto* watcher = new HelpWatcher;
    control->installEventFilter(watcher);
}

}  // namespace qorui
