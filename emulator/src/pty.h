// A pseudo-terminal standing in for a serial cable: the emulator keeps the
// master, a client opens the slave like /dev/ttyS*.
#pragma once

#include <string>

namespace qoremu {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens a new terminal in raw mode; `link`, when given, is made a
    // symbolic link to the slave. False with the reason in `error`.
    bool open(const std::string& link, std::string* error);
    void close();
    bool is_open() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    int held_slave_ = -1;  // keeps the line up while no client has it open
    std::string path_;
    std::string link_;
};

}  // namespace qoremu
