// The hive parser on arbitrary text: it must never crash, and whatever it
// accepts must write out and read back to the same tree.
#include "registry_format.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qor::registry;
    constexpr std::string_view root_name = "HKEY_CURRENT_USER";
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Key first;
    if (!parse_hive(text, root_name, first)) return 0;
    std::string written = serialize_hive(first, root_name);
    Key second;
    if (!parse_hive(written, root_name, second) || !(second == first) ||
        serialize_hive(second, root_name) != written)
        std::abort();
    return 0;
}
