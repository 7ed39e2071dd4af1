// The interface driver's context: its module handle and the parsed printer
// description, refreshed from the description file at every entry point.
#pragma once

#include "common/ppd.h"
#include "qor/base.h"

// A parsed description with its own tables; copies point at their own.
class Description {
public:
    Description();
    Description(const Description& other);
    Description& operator=(const Description& other);

    const PpdData& ppd() const { return block_.data; }
    PpdData& ppd() { return block_.data; }

private:
    PpdBlock block_;
};

// Kept from DllInitialize; null until the module is attached.
void SetDriverModule(HMODULE module);
HMODULE DriverModule();

// Parses "\3\qorn5002.ppd" under the driver folder and returns the context's
// description. A missing or unreadable file leaves the context as it was
// (empty on first use). Safe to call from several threads at once.
Description LoadPrinterDescription();
