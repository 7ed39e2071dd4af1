#include "commands.h"

namespace custom {

std::vector<BYTE> write_command(const SettingBytes& bytes) {
    return {0x1D, 0x61, 0x0E, 0x12, 0x6B, bytes[0], bytes[1], bytes[2], bytes[3]};
}

std::string with_text(std::string_view format, std::string_view value) {
    std::string out(format);
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

}  // namespace custom
