// A private X server for a test that works another program's windows as a
// user does: Xvfb on a display it picks itself, and real key presses
// through xdotool (the XTEST extension), so the keys travel the same road
// as a keyboard's. The programs the test starts meanwhile show their
// windows there (DISPLAY and QT_QPA_PLATFORM are set for them).
#pragma once

#include "qortest.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

class XDisplay {
public:
    // Starts the server and waits (at most `timeout`) until it takes
    // clients; error() says why when it does not.
    explicit XDisplay(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~XDisplay();  // stops the server, restores the environment
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& name() const { return name_; }  // ":N"

    // The X window of process `pid` titled exactly `title`, once it is
    // mapped; nullopt when it is not by `deadline`.
    std::optional<std::string> wait_window(pid_t pid, const std::string& title,
                                           std::chrono::steady_clock::time_point deadline) const;
    // Gives the window the keyboard focus, as clicking into it would.
    bool focus(const std::string& window) const;
    // Presses and releases each key combination in turn ("alt+l", "space").
    bool keys(const std::vector<std::string>& combinations) const;

private:
    qortest::Output xdotool(const std::vector<std::string>& args) const;
    void set_environment();

    std::optional<qortest::Started> server_;
    std::string name_, error_, xdotool_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;  // variables as they were
};

// The full path of a program on PATH, empty when there is none.
std::string FindOnPath(const std::string& program);

}  // namespace e2e
