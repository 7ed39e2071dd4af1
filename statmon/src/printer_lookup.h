// Finding the watched printer: by its name, or else the first local printer
// with a ZEM-D510 driver.
#pragma once

#include "qor/base.h"

#include <optional>
#include <string>
#include <vector>

namespace qor::statmon {

struct PrinterEntry {
    std::string name;
    std::string driver;
    DWORD attributes = 0;
};

// What the lookup asks of the spooler; the real one and tests' stand-ins.
class PrinterDirectory {
public:
    virtual ~PrinterDirectory() = default;
    // Attributes of the printer of that name; none when it does not open.
    // `opened` is set when the printer opened but its information could not
    // be read.
    virtual std::optional<DWORD> attributes_of(const std::string& name, bool& opened) = 0;
    virtual std::vector<PrinterEntry> local_printers() = 0;
    // Asks the printer's language monitor to set up its side, which makes
    // the Status block.
    virtual void wake_monitor(const std::string& name) = 0;
};

PrinterDirectory& spooler_directory();

inline constexpr char kDriverPrefix[] = "QOR ZEM-D510";

struct Lookup {
    bool found = false;
    std::string name;
    DWORD attributes = 0;
};
Lookup look_up_printer(PrinterDirectory& directory, const std::string& name);

}  // namespace qor::statmon
