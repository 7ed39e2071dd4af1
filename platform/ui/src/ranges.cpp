// Up-down (with its buddy edit) and trackbar controls.
#include "control_kinds.h"

#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace qorui {
namespace {

constexpr WPARAM kThumbPosition = 4;  // SB_THUMBPOSITION
constexpr WPARAM kTrackEnd = 8;       // TB_ENDTRACK

class UpDownControl : public Control {
public:
    UpDownControl(QWidget* widget, QToolButton* up, QToolButton* down, DWORD style)
        : widget_(widget), up_(up), down_(down), style_(style) {}

    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(up_, &QToolButton::clicked, [this, handle] { step(handle, +1); });
        QObject::connect(down_, &QToolButton::clicked, [this, handle] { step(handle, -1); });
        if (style_ & UDS_AUTOBUDDY) {
            HWND previous = nullptr;
            for (auto& sibling : child_windows(self.parent)) {
                if (sibling->handle == handle) break;
                previous = sibling->handle;
            }
            set_buddy(previous);
        }
    }

    LRESULT handle(Window&, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        switch (message) {
        case UDM_SETRANGE:
            max_ = static_cast<SHORT>(LOWORD(lparam));
            min_ = static_cast<SHORT>(HIWORD(lparam));
            return 0;
        case UDM_SETRANGE32:
            min_ = static_cast<int>(wparam);
            max_ = static_cast<int>(lparam);
            return 0;
        case UDM_GETRANGE:
            return MAKELONG(max_, min_);
        case UDM_SETPOS:
        case UDM_SETPOS32: {
            int previous = position();
            int wanted = message == UDM_SETPOS ? static_cast<SHORT>(LOWORD(lparam)) : static_cast<int>(lparam);
            set_position(clamp(wanted));
            return message == UDM_SETPOS ? static_cast<WORD>(previous) : previous;
        }
        case UDM_GETPOS:
            return static_cast<WORD>(position());
        case UDM_GETPOS32:
            return position();
        case UDM_SETBUDDY: {
            HWND previous = buddy_;
            set_buddy(reinterpret_cast<HWND>(wparam));
            return reinterpret_cast<LRESULT>(previous);
        }
        case UDM_GETBUDDY:
            return reinterpret_cast<LRESULT>(buddy_);
        default:
            handled = false;
            return 0;
        }
    }

private:
    int clamp(int value) const {
        int low = std::min(min_, max_), high = std::max(min_, max_);
        return std::clamp(value, low, high);
    }
    // With a number buddy the position is what the edit shows.
    int position() const {
        if (buddy_ && (style_ & UDS_SETBUDDYINT)) {
            BOOL ok = FALSE;
            auto buddy = find_window(buddy_);
            if (buddy && buddy->parent) {
                int value = static_cast<int>(GetDlgItemInt(buddy->parent, buddy->id, &ok, TRUE));
                if (ok) return value;
            }
        }
        return pos_;
    }
    void set_position(int value) {
        pos_ = value;
        if (buddy_ && (style_ & UDS_SETBUDDYINT)) {
            std::u16string text = to_u16(QString::number(value));
            SetWindowTextW(buddy_, reinterpret_cast<LPCWSTR>(text.c_str()));
        }
    }
    void set_buddy(HWND buddy) {
        buddy_ = buddy;
        auto window = find_window(buddy);
        if (!window || !window->widget || !(style_ & UDS_ALIGNRIGHT)) return;
        // The arrows take the right end of the buddy's place.
        QRect place = window->widget->geometry();
        int arrows = std::min(widget_->width() > 0 ? widget_->width() : 16, place.width() / 2);
        window->widget->setGeometry(place.x(), place.y(), place.width() - arrows, place.height());
        widget_->setGeometry(place.right() - arrows + 1, place.y(), arrows, place.height());
    }
    // The up arrow moves toward the maximum, whichever way the range runs.
    void step(HWND handle, int direction) {
        auto self = find_window(handle);
        if (!self) return;
        int delta = max_ >= min_ ? direction : -direction;
        NMUPDOWN change{{handle, static_cast<UINT_PTR>(self->id), UDN_DELTAPOS}, position(), delta};
        if (self->parent && SendMessageW(self->parent, WM_NOTIFY, static_cast<WPARAM>(self->id),
                                         reinterpret_cast<LPARAM>(&change)))
            return;  // the parent refused the change
        int next = clamp(change.iPos + change.iDelta);
        set_position(next);
        if (self->parent)
            SendMessageW(self->parent, WM_VSCROLL, MAKELONG(kThumbPosition, next), reinterpret_cast<LPARAM>(handle));
    }

    QWidget* widget_;
    QToolButton* up_;
    QToolButton* down_;
    DWORD style_;
    HWND buddy_ = nullptr;
    int min_ = 100, max_ = 0, pos_ = 0;
};

class TrackbarControl : public Control {
public:
    explicit TrackbarControl(QSlider* slider, bool vertical) : slider_(slider), vertical_(vertical) {}
    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(slider_, &QSlider::valueChanged, [this, handle](int value) {
            if (program_) return;
            auto window = find_window(handle);
            if (!window || !window->parent) return;
            SendMessageW(window->parent, vertical_ ? WM_VSCROLL : WM_HSCROLL, MAKELONG(kTrackEnd, value),
                         reinterpret_cast<LPARAM>(handle));
        });
    }
    LRESULT handle(Window&, UINT message, WPARAM, LPARAM lparam, bool& handled) override {
        ProgramChange change(program_);
        switch (message) {
        case TBM_GETPOS: return slider_->value();
        case TBM_GETRANGEMIN: return slider_->minimum();
        case TBM_GETRANGEMAX: return slider_->maximum();
        case TBM_SETPOS: slider_->setValue(static_cast<int>(lparam)); return 0;
        case TBM_SETRANGE: slider_->setRange(static_cast<SHORT>(LOWORD(lparam)), static_cast<SHORT>(HIWORD(lparam))); return 0;
        case TBM_SETRANGEMIN: slider_->setMinimum(static_cast<int>(lparam)); return 0;
        case TBM_SETRANGEMAX: slider_->setMaximum(static_cast<int>(lparam)); return 0;
        case TBM_SETTICFREQ: slider_->setTickInterval(static_cast<int>(lparam)); return 0;
        case TBM_SETPAGESIZE: {
            int previous = slider_->pageStep();
            slider_->setPageStep(static_cast<int>(lparam));
            return previous;
        }
        default: handled = false; return 0;
        }
    }

private:
    QSlider* slider_;
    bool vertical_;
    bool program_ = false;
};

}  // namespace

bool make_up_down(const ControlSpec& spec, Window& window) {
    auto* widget = new QWidget(spec.parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(widget);
    auto* down = new QToolButton(widget);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up, down}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setAutoRepeat(true);
        layout->addWidget(button);
    }
    window.widget = widget;
    window.control = std::make_unique<UpDownControl>(widget, up, down, spec.style);
    return true;
}

bool make_trackbar(const ControlSpec& spec, Window& window) {
    bool vertical = spec.style & TBS_VERT;
    auto* slider = new QSlider(vertical ? Qt::Vertical : Qt::Horizontal, spec.parent);
    slider->setRange(0, 100);
    if (spec.style & TBS_AUTOTICKS) slider->setTickPosition(QSlider::TicksBelow);
    window.widget = slider;
    window.control = std::make_unique<TrackbarControl>(slider, vertical);
    return true;
}

}  // namespace qorui
