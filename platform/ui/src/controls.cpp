// The control factory and the simple controls: static, button, edit.
#include "control_kinds.h"
#include "icons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace qorui {
namespace {

bool same_class(const std::u16string& a, const char16_t* b) {
    return QString::fromStdU16String(a).compare(QString::fromUtf16(b), Qt::CaseInsensitive) == 0;
}

class StaticControl : public Control {
public:
    explicit StaticControl(QLabel* label) : label_(label) {}
    LRESULT handle(Window&, UINT, WPARAM, LPARAM, bool& handled) override {
        handled = false;
        return 0;
    }
    QString text() const override { return text_; }
    void set_text(const QString& text) override {
        text_ = text;
        label_->setText(without_mnemonic(text));
    }

private:
    QLabel* label_;
    QString text_;
};

class GroupBoxControl : public Control {
public:
    explicit GroupBoxControl(QGroupBox* box) : box_(box) {}
    LRESULT handle(Window&, UINT, WPARAM, LPARAM, bool& handled) override {
        handled = false;
        return 0;
    }
    QString text() const override { return box_->title(); }
    void set_text(const QString& text) override { box_->setTitle(text); }

private:
    QGroupBox* box_;
};

// Radio buttons of one group: from the nearest WS_GROUP control before this
// one up to the next WS_GROUP control, among the parent's children.
std::vector<std::shared_ptr<Window>> radio_group(const Window& radio) {
    std::vector<std::shared_ptr<Window>> group;
    for (auto& sibling : child_windows(radio.parent)) {
        if (sibling->style & WS_GROUP) {
            if (!group.empty() && std::any_of(group.begin(), group.end(),
                                              [&](auto& w) { return w->handle == radio.handle; }))
                break;
            group.clear();
        }
        group.push_back(sibling);
    }
    return group;
}

class ButtonControl : public Control {
public:
    ButtonControl(QAbstractButton* button, DWORD style) : button_(button), type_(style & BS_TYPEMASK) {}

    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(button_, &QAbstractButton::clicked, [this, handle] {
            auto window = find_window(handle);
            if (!window) return;
            if (type_ == BS_CHECKBOX || type_ == BS_RADIOBUTTON || type_ == BS_3STATE) {
                // Manual buttons keep their state; the program sets it.
                ProgramChange change(program_);
                button_->setChecked(!button_->isChecked());
            } else if (type_ == BS_AUTORADIOBUTTON) {
                check_radio(*window);
            }
            notify_parent(*window, BN_CLICKED);
        });
    }

    LRESULT handle(Window& self, UINT message, WPARAM wparam, LPARAM, bool& handled) override {
        switch (message) {
        case BM_GETCHECK: {
            auto* box = qobject_cast<QCheckBox*>(button_);
            if (box && box->checkState() == Qt::PartiallyChecked) return BST_INDETERMINATE;
            return button_->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        }
        case BM_SETCHECK: {
            ProgramChange change(program_);
            auto* box = qobject_cast<QCheckBox*>(button_);
            if (box && wparam == BST_INDETERMINATE) {
                box->setTristate(true);
                box->setCheckState(Qt::PartiallyChecked);
            } else {
                button_->setChecked(wparam == BST_CHECKED);
            }
            return 0;
        }
        case BM_CLICK:
            button_->click();
            return 0;
        default:
            (void)self;
            handled = false;
            return 0;
        }
    }
    QString text() const override { return text_; }
    void set_text(const QString& text) override {
        text_ = text;
        button_->setText(text);
    }

private:
    void check_radio(Window& self) {
        for (auto& member : radio_group(self)) {
            if (member->handle == self.handle || !member->control) continue;
            if ((member->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageW(member->handle, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        ProgramChange change(program_);
        button_->setChecked(true);
    }

    QAbstractButton* button_;
    DWORD type_;
    QString text_;
    bool program_ = false;
};

class EditControl : public Control {
public:
    explicit EditControl(QLineEdit* edit) : edit_(edit) {}

    void attach(Window& self) override {
        HWND handle = self.handle;
        QObject::connect(edit_, &QLineEdit::textChanged, [handle] {
            if (auto window = find_window(handle)) notify_parent(*window, EN_CHANGE);
        });
    }

    LRESULT handle(Window&, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override {
        switch (message) {
        case EM_LIMITTEXT:
            edit_->setMaxLength(wparam == 0 || wparam > 32767 ? 32767 : static_cast<int>(wparam));
            return 0;
        case EM_GETLIMITTEXT:
            return edit_->maxLength();
        case EM_SETSEL: {
            int start = static_cast<int>(wparam);
            int end = static_cast<int>(lparam);
            if (start < 0) {
                edit_->deselect();
            } else {
                if (end < 0 || end > edit_->text().size()) end = static_cast<int>(edit_->text().size());
                edit_->setSelection(start, end - start);
            }
            return 0;
        }
        default:
            handled = false;
            return 0;
        }
    }
    QString text() const override { return edit_->text(); }
    void set_text(const QString& text) override { edit_->setText(text); }

private:
    QLineEdit* edit_;
};

}  // namespace

QString without_mnemonic(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

bool make_static(const ControlSpec& spec, Window& window) {
    auto* label = new QLabel(spec.parent);
    DWORD type = spec.style & SS_TYPEMASK;
    label->setAlignment((type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignTop);
    label->setWordWrap(type <= SS_RIGHT);
    if (type == 0x10) label->setFrameStyle(QFrame::HLine | QFrame::Sunken);  // SS_ETCHEDHORZ: a separator
    window.widget = label;
    window.control = std::make_unique<StaticControl>(label);
    window.control->set_text(spec.text);
    // An icon comes from the program's own ICON resources, at its size.
    if (type == SS_ICON && spec.title_ordinal)
        if (HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(spec.title_ordinal))) {
            label->setText({});
            label->setPixmap(icon_of(icon).pixmap(32, 32));
        }
    return true;
}

bool make_button(const ControlSpec& spec, Window& window) {
    DWORD type = spec.style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
        auto* box = new QGroupBox(spec.text, spec.parent);
        box->lower();
        window.widget = box;
        window.control = std::make_unique<GroupBoxControl>(box);
        return true;
    }
    QAbstractButton* button;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE) {
        auto* box = new QCheckBox(spec.parent);
        box->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
        button = box;
    } else if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
        auto* radio = new QRadioButton(spec.parent);
        radio->setAutoExclusive(false);  // groups follow WS_GROUP, not the parent
        button = radio;
    } else {
        auto* push = new QPushButton(spec.parent);
        push->setDefault(type == BS_DEFPUSHBUTTON);
        push->setAutoDefault(false);
        button = push;
    }
    window.widget = button;
    auto control = std::make_unique<ButtonControl>(button, spec.style);
    control->set_text(spec.text);
    window.control = std::move(control);
    return true;
}

bool make_edit(const ControlSpec& spec, Window& window) {
    auto* edit = new QLineEdit(spec.parent);
    if (spec.style & ES_NUMBER)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    if (spec.style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
    edit->setReadOnly(spec.style & ES_READONLY);
    edit->setAlignment(spec.style & ES_RIGHT ? Qt::AlignRight : spec.style & ES_CENTER ? Qt::AlignHCenter : Qt::AlignLeft);
    edit->setMaxLength(32767);
    edit->setText(spec.text);
    window.widget = edit;
    auto control = std::make_unique<EditControl>(edit);
    window.control = std::move(control);
    return true;
}

std::u16string control_class(uint16_t atom, const std::u16string& name) {
    switch (atom) {
    case 0x0080: return WC_BUTTONW;
    case 0x0081: return WC_EDITW;
    case 0x0082: return WC_STATICW;
    case 0x0083: return WC_LISTBOXW;
    case 0x0084: return u"ScrollBar";
    case 0x0085: return WC_COMBOBOXW;
    default: return name;
    }
}

bool create_control(const ControlSpec& spec, Window& window) {
    const std::u16string& name = spec.class_name;
    bool made = false;
    if (same_class(name, WC_STATICW)) made = make_static(spec, window);
    else if (same_class(name, WC_BUTTONW)) made = make_button(spec, window);
    else if (same_class(name, WC_EDITW)) made = make_edit(spec, window);
    else if (same_class(name, WC_COMBOBOXW)) made = make_combo_box(spec, window);
    else if (same_class(name, WC_LISTBOXW)) made = make_list_box(spec, window, false);
    else if (same_class(name, WC_CHECKLISTBOXW)) made = make_list_box(spec, window, true);
    else if (same_class(name, UPDOWN_CLASSW)) made = make_up_down(spec, window);
    else if (same_class(name, TRACKBAR_CLASSW)) made = make_trackbar(spec, window);
    else if (same_class(name, TOOLTIPS_CLASSW)) made = make_tool_tips(spec, window);
    else if (same_class(name, STATUSCLASSNAMEW)) made = make_status_bar(spec, window);
    if (made) window.class_name = name;
    return made;
}

}  // namespace qorui
