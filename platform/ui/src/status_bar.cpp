// The status bar control: one sunken pane of text (SB_SETPARTS is taken,
// but only the first pane is shown).
#include "control_kinds.h"

#include <QLabel>

namespace qorui {
namespace {

class StatusBarControl : public Control {
public:
    explicit StatusBarControl(QLabel* pane) : pane_(pane) {}

    LRESULT handle(Window&, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        int part = static_cast<int>(wparam & 0xFF);
        switch (message) {
        case SB_SETTEXTW:
            if (part == 0) set_text(to_qstring(reinterpret_cast<LPCWSTR>(lparam)));
            return TRUE;
        case SB_GETTEXTLENGTHW:
            return part == 0 ? text_.size() : 0;
        case SB_GETTEXTW:
            // The caller's buffer is as long as SB_GETTEXTLENGTH said.
            return part == 0 ? copy_text(text_, reinterpret_cast<LPWSTR>(lparam), static_cast<int>(text_.size()) + 1) : 0;
        case SB_SETPARTS:
            parts_ = std::max<int>(1, static_cast<int>(wparam));
            return TRUE;
        case SB_GETPARTS:
            return parts_;
        case SB_SIMPLE:
            return TRUE;
        default:
            handled = false;
            return 0;
        }
    }
    QString text() const override { return text_; }
    void set_text(const QString& text) override {
        text_ = text;
        pane_->setText(text);
    }

private:
    QLabel* pane_;
    QString text_;
    int parts_ = 1;
};

}  // namespace

bool make_status_bar(const ControlSpec& spec, Window& window) {
    auto* pane = new QLabel(spec.parent);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setContentsMargins(3, 1, 3, 1);
    pane->setTextFormat(Qt::PlainText);
    pane->setFixedHeight(pane->sizeHint().height());
    window.widget = pane;
    window.control = std::make_unique<StatusBarControl>(pane);
    window.control->set_text(spec.text);
    return true;
}

}  // namespace qorui
