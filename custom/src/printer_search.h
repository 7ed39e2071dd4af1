// Which spooler printers the setup tool can work with, and the interface
// their port names stand for.
#pragma once

#include "setting_lists.h"
#include "system.h"

#include <string_view>

namespace custom {

bool is_candidate(const PrinterRecord& printer);
InterfaceKind interface_of(std::string_view port);

}  // namespace custom
