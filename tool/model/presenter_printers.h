// The spooler's printers that drive a presenter: those whose driver name
// begins with "QOR ZEM-D" (the port does not matter).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tool {

// In the spooler's order; nothing when the printers cannot be listed.
std::optional<std::vector<std::string>> presenter_printers();

}  // namespace tool
