// prnaccess's work: every printer with a "QOR ZEM-Dx10" driver makes the
// printer "QOR ZEM-Dx10P" manageable by everyone, by widening the entries of
// its DACL that belong to Everyone. No entry is added.
#pragma once

#include "qor/security.h"

#include <functional>

namespace prnaccess {

// The name the update always works on, and the driver prefix that triggers it.
inline constexpr char kPrinterName[] = "QOR ZEM-Dx10P";
inline constexpr char kDriverPrefix[] = "QOR ZEM-Dx10";

// Builds the widened descriptor from `old` and hands it to `write`; nothing
// is written when the old DACL cannot be read or an entry's SID does not
// resolve to an account, or the result is not valid.
void widen_descriptor(PSECURITY_DESCRIPTOR old, const std::function<void(PSECURITY_DESCRIPTOR)>& write);

// The update on the printer: open with all access, read level 3, widen,
// write level 3 back.
void update_printer_access();

// Runs the update once for each local printer with a matching driver.
void run();

}  // namespace prnaccess
