// Built-in behaviour of a control class: its messages and notifications.
#pragma once

#include "window_table.h"

namespace qorui {

class Control {
public:
    virtual ~Control() = default;
    // Handles a message of the control's class; `handled` false passes it
    // on to the default window procedure.
    virtual LRESULT handle(Window& self, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) = 0;
    // Controls without text (up-down, trackbar, tool tips) keep these.
    virtual QString text() const { return {}; }
    virtual void set_text(const QString&) {}
    // Called once every control of a dialog exists (buddies, groups).
    virtual void attach(Window&) {}
};

struct ControlSpec {
    std::u16string class_name;  // canonical: Button, Edit, Static, ListBox, ComboBox, ...
    DWORD style = 0;
    QString text;
    QWidget* parent = nullptr;
    uint16_t title_ordinal = 0;  // an SS_ICON static's icon resource
};

// Creates the widget and behaviour of a built-in class; false for an
// unknown class.
bool create_control(const ControlSpec& spec, Window& window);
// The canonical class name of a template's class atom or name.
std::u16string control_class(uint16_t atom, const std::u16string& name);

}  // namespace qorui
