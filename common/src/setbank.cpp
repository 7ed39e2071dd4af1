#include "common/setbank.h"

namespace qor::setbank {

namespace {

constexpr BYTE kSettingReplyHeader = 0x55;
constexpr size_t kSettingReplyNibbles = 8;

}  // namespace

CharacterTable character_table(const Bytes& bytes) {
    switch (bytes[0] >> 5) {
    case 0: return CharacterTable::Graphics;
    case 1: return CharacterTable::Katakana;
    case 7: return CharacterTable::Space;
    default: return CharacterTable::Option;
    }
}

int paper_width_hundredths(const Bytes& bytes) {
    static constexpr int kWidths[8] = {5800, 6000, 6600, 7620, 8000, 8255, 11200, 11200};
    return kWidths[bytes[2] & 0x07];
}

int paper_width_mm(const Bytes& bytes) { return (paper_width_hundredths(bytes) + 50) / 100; }

std::optional<Bytes> find_setting_reply(const BYTE* data, size_t size) {
    std::optional<Bytes> found;
    if (!data) return found;
    for (size_t i = 0; i + kSettingReplyNibbles < size; ++i) {
        if (data[i] != kSettingReplyHeader) continue;
        const BYTE* nibbles = data + i + 1;
        bool valid = true;
        for (size_t k = 0; k < kSettingReplyNibbles; ++k) valid = valid && nibbles[k] <= 0x0F;
        if (!valid) continue;
        Bytes bytes{};
        for (size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<BYTE>(nibbles[2 * k] | (nibbles[2 * k + 1] << 4));
        found = bytes;
    }
    return found;
}

std::optional<Bytes> factory_settings(std::string_view device_id) {
    const size_t start = device_id.find("MDL:");
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view model = device_id.substr(start + 4);
    model = model.substr(0, model.find(';'));
    if (model == "ZEM-D510x") return Bytes{0x18, 0x07, 0x00, 0xC8};
    if (model == "ZEM-D610x") return Bytes{0x18, 0x07, 0x06, 0xC8};
    return std::nullopt;
}

}  // namespace qor::setbank
