// The printer's answers read for its setting bytes: the bytes collected
// from the Reply block (any mix of status, replies and noise) and the device
// ID the port returns.
#include "common/setbank.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (auto bytes = qor::setbank::find_setting_reply(input, size)) {
        (void)qor::setbank::paper_width_mm(*bytes);
        (void)qor::setbank::character_table(*bytes);
    }
    (void)qor::setbank::factory_settings(std::string_view(reinterpret_cast<const char*>(input), size));
    return 0;
}
