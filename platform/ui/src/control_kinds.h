// The built-in control classes, each made by its own factory.
#pragma once

#include "control.h"

namespace qorui {

bool make_static(const ControlSpec& spec, Window& window);
bool make_button(const ControlSpec& spec, Window& window);
bool make_edit(const ControlSpec& spec, Window& window);
bool make_combo_box(const ControlSpec& spec, Window& window);
bool make_list_box(const ControlSpec& spec, Window& window, bool check_boxes);
bool make_up_down(const ControlSpec& spec, Window& window);
bool make_trackbar(const ControlSpec& spec, Window& window);
bool make_tool_tips(const ControlSpec& spec, Window& window);
bool make_status_bar(const ControlSpec& spec, Window& window);

// "&Name" shows as "Name" with N as mnemonic; "&&" is a literal '&'.
QString without_mnemonic(const QString& text);

// Guards changes the program makes through messages, so that the signals
// they raise do not come back as the user's notifications.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~ProgramChange() { flag_ = saved_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    bool& flag_;
    bool saved_;
};

}  // namespace qorui
