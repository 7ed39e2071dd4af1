// Serial line settings in the platform's port-configuration form,
// "9600,n,8,1" with an optional fifth field "x" (XON/XOFF) or "p" (RTS/CTS).
#pragma once

#include <optional>
#include <string>
#include <termios.h>

namespace qor::spool {

enum class Parity { None, Odd, Even, Mark, Space };
enum class FlowControl { None, XonXoff, Hardware };

struct SerialSettings {
    unsigned baud = 9600;
    Parity parity = Parity::None;
    unsigned data_bits = 8;
    unsigned stop_bits = 1;  // 1 or 2 (1.5 is kept as 2)
    FlowControl flow = FlowControl::None;
};

std::optional<SerialSettings> parse_serial_settings(const std::string& text);
std::string format_serial_settings(const SerialSettings& settings);
// Raw mode with the given line settings; false for a speed termios lacks.
bool apply_serial_settings(const SerialSettings& settings, termios& tio);

}  // namespace qor::spool
