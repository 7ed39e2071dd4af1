// The monitor's command line: "/P:<printer name>[/...]".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor::statmon {

// Printer names are shorter than this.
inline constexpr size_t kPrinterNameSize = 260;

// The name after "/P:" (any case) up to the next "/" or the end, trimmed;
// none when it is empty or too long.
std::optional<std::string> printer_from_command_line(std::string_view line);

}  // namespace qor::statmon
