// The status monitor's command line: any bytes give a name within the
// bounds, or none.
#include "command_line.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto name = qor::statmon::printer_from_command_line({reinterpret_cast<const char*>(data), size});
    if (name && (name->empty() || name->size() >= qor::statmon::kPrinterNameSize)) __builtin_trap();
    return 0;
}
