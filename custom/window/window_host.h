// What the tool's logic asks of its windows, on the desktop layer: message
// boxes, the communication box while an exchange runs, pauses that keep
// the windows served, and the wait cursor.
#pragma once

#include "host.h"

#include "qor/ui/windows.h"

namespace custom_window {

class WindowHost : public custom::Host {
public:
    // The window the boxes belong to and that is disabled during an exchange.
    void set_owner(HWND owner) { owner_ = owner; }
    HWND communication_box() const { return box_; }

    custom::Answer show(const custom::Message& message) override;
    void begin_communication(const std::string& status) override;
    void end_communication() override;
    void pump() override;
    void wait(std::chrono::milliseconds duration) override;
    void busy_cursor(bool on) override;

private:
    HWND owner_ = nullptr;
    HWND box_ = nullptr;
};

}  // namespace custom_window
