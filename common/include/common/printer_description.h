// The description file of an installed printer's driver, parsed.
#pragma once

#include "common/ppd.h"

#include "qor/base.h"

#include <memory>
#include <string>

namespace qor {

// Null with a message when the driver or its description cannot be read.
std::unique_ptr<PpdBlock> load_printer_description(HANDLE printer, std::string* error);

}  // namespace qor
