#include "printer_search.h"

namespace custom {

namespace {
bool starts(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
}  // namespace

bool is_candidate(const PrinterRecord& printer) {
    if (!starts(printer.driver, "QOR ZEM-D")) return false;
    for (std::string_view prefix : {"LPT", "COM", "USB", "QOR"})
        if (starts(printer.port, prefix)) return true;
    return false;
}

InterfaceKind interface_of(std::string_view port) {
    if (starts(port, "COM")) return InterfaceKind::Serial;
    if (starts(port, "LPT")) return InterfaceKind::Parallel;
    if (starts(port, "USB") || starts(port, "QORUSB")) return InterfaceKind::Usb;
    return InterfaceKind::None;
}

}  // namespace custom
