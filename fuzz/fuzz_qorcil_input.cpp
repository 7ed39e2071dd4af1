// What qorcil reads from outside: bytes written in hexadecimal on its command
// line, and the printer's reply to the setting read.
#include "hex.h"

#include "common/setting_reply.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> bytes;
    std::string error;
    if (ParseHexBytes(text, &bytes, &error)) {
        // What is printed parses back to the same bytes.
        std::vector<uint8_t> again;
        if (!ParseHexBytes(FormatHexBytes(bytes.data(), bytes.size()), &again, &error) || again != bytes)
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    qor::settings::SettingBytes settings{};
    qor::settings::parse_setting_reply(data, size, &settings);
    return 0;
}
