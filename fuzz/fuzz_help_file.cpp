// The help-file reader on arbitrary bytes.
#include "help_file.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qorui::read_help_file(text.data(), text.size());
    return 0;
}
