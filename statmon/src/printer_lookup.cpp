#include "printer_lookup.h"

#include <cstring>

namespace qor::statmon {

Lookup look_up_printer(PrinterDirectory& directory, const std::string& name) {
    bool opened = false;
    if (const auto attributes = directory.attributes_of(name, opened)) return {true, name, *attributes};
    // A printer that opens but cannot be described is not replaced by another.
    if (opened) return {};
    const size_t prefix = std::strlen(kDriverPrefix);
    for (const PrinterEntry& printer : directory.local_printers())
        if (printer.driver.compare(0, prefix, kDriverPrefix) == 0) return {true, printer.name, printer.attributes};
    return {};
}

}  // namespace qor::statmon
