// The control interface's text commands (docs/printer-protocol.md,
// section 7): parsed here, carried out by whoever implements ControlTarget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qoremu {

class ControlTarget {
public:
    virtual ~ControlTarget() = default;
    virtual void raise_conditions(uint32_t conditions) = 0;
    virtual void clear_conditions(uint32_t conditions) = 0;
    virtual void take_ticket() = 0;
    virtual void set_silent(bool silent) = 0;
    virtual void send_garbage(const std::vector<uint8_t>& bytes) = 0;
    virtual void disconnect(int milliseconds) = 0;
    virtual void set_line_speed(int bps) = 0;
    virtual void set_print_speed(int mm_per_second) = 0;
    virtual std::vector<std::string> stats() = 0;
    virtual std::vector<std::string> tickets() = 0;
    virtual std::vector<std::string> settings() = 0;
    virtual std::vector<std::string> status() = 0;
    virtual void quit() = 0;
};

// Carries out one command line; returns the full answer, each line ending
// in "\n", the last "ok" or "error <reason>".
std::string execute_control(ControlTarget& target, const std::string& line);

// "1b 40", "1B40", "1b,40" -> bytes; false on anything else.
bool parse_hex(const std::string& text, std::vector<uint8_t>* bytes);

}  // namespace qoremu
