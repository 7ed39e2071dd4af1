// What the setup tool reads from outside: the printer's reply to the
// setting read, and setting files in both loading routes.
#include "setting_file.h"

#include "common/setting_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    qor::settings::SettingBytes bytes{};
    (void)qor::settings::parse_setting_reply(input, size, &bytes);
    for (auto route : {custom::FileRoute::Dialog, custom::FileRoute::Document})
        if (auto file = custom::parse_setting_file(input, size, route))
            (void)custom::merge_under_mask(bytes, *file, {0xF8, 0xFF, 0xFF, 0x01});
    return 0;
}
