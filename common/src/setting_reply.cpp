#include "common/setting_reply.h"

namespace qor::settings {

bool parse_setting_reply(const BYTE* bytes, size_t count, SettingBytes* settings) {
    BYTE nibbles[8];
    size_t collected = 0;
    bool started = false;
    for (size_t i = 0; i < count && collected < sizeof nibbles; ++i) {
        if (!started) {
            started = bytes[i] == kReplyHeader;
            continue;
        }
        if ((bytes[i] & 0xF0) == 0) nibbles[collected++] = bytes[i];
    }
    if (collected < sizeof nibbles) return false;
    for (size_t k = 0; k < settings->size(); ++k) (*settings)[k] = BYTE(nibbles[2 * k] + 16 * nibbles[2 * k + 1]);
    return true;
}

}  // namespace qor::settings
