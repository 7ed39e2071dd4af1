// Port names as the platform has them: their classes and case rules, the
// device a bare name stands for, and the default serial line settings. One
// place for the spooler service, its client and the language monitor.
#pragma once

#include <string>
#include <string_view>

namespace qor::ports {

// A serial port's line settings until it is configured.
inline constexpr char kDefaultSerialSettings[] = "9600,n,8,1";

enum class PortClass {
    Serial,    // COM1 ... COM9999, an optional ':' after the number
    Parallel,  // LPT1 ...
    Usb,       // USB001 ...
    File,      // FILE:
    Path,      // an absolute Linux path
    Other,     // any other name: a port only by its configuration
};

// Letter case does not matter: "com5" is a serial port.
PortClass classify(std::string_view name);
// The number of a numbered port (COM5 -> 5); 0 for the other classes.
unsigned port_number(std::string_view name);
// The name as the platform writes it: the class letters in upper case and
// the trailing ':' of a numbered port dropped ("com5:" -> "COM5"); other
// names as they are.
std::string canonical_name(std::string_view name);
// True when both name the same port.
bool same_port(std::string_view a, std::string_view b);
// The settings a new port starts with: the serial defaults for a serial
// port, none for the others.
std::string default_settings(std::string_view name);
// The Linux device a numbered port stands for until it is configured
// (COM1 -> /dev/ttyS0, LPT1 -> /dev/lp0, USB001 -> /dev/usb/lp0); a path
// port is its own device; empty otherwise.
std::string default_device(std::string_view name);

// The language monitor's classes, on wide names: a file port is "FILE"
// followed by at least one character, a serial port "COM" followed by at
// least one, a parallel port "LPT" and a digit 1 to 9. ASCII letters are
// compared without case.
bool is_file_port(std::u16string_view name);
bool is_serial_port(std::u16string_view name);
bool is_parallel_port(std::u16string_view name);

}  // namespace qor::ports
