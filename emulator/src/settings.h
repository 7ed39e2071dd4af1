// The printer's four setting bytes, its models and the small state file that
// keeps them (with the presenter's collection time) across restarts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qoremu {

enum class Model : uint8_t { D510x = 1, D610x = 2 };

using SettingBytes = std::array<uint8_t, 4>;

struct Settings {
    SettingBytes bytes{};
    uint8_t collection_time = 50;  // 0.1 s units
    Model model = Model::D510x;
};

Settings factory_settings(Model model);
const char* model_name(Model model);  // "ZEM-D510x"
bool parse_model(const std::string& text, Model* model);

int paper_width_dots(const SettingBytes& bytes);
inline bool cutter_enabled(const SettingBytes& b) { return b[0] & 0x08; }
inline bool presenter_enabled(const SettingBytes& b) { return b[0] & 0x10; }
inline int character_font(const SettingBytes& b) { return b[0] >> 5; }
inline bool io_reset_enabled(const SettingBytes& b) { return b[1] & 0x80; }
inline bool marked_paper(const SettingBytes& b) { return b[2] & 0x40; }
inline bool busy_when_offline(const SettingBytes& b) { return b[3] & 0x01; }

// The reply to DC2 l: 55 then the eight nibbles, low nibble of byte 0 first.
std::vector<uint8_t> setting_read_reply(const SettingBytes& bytes);

// One line per setting, for the test print.
std::vector<std::string> describe_settings(const SettingBytes& bytes);

// The state file: a 16-byte little-endian record.
struct StateRecord {
    char magic[4];  // "QEMS"
    uint16_t version;
    uint16_t size;
    uint8_t setbank[4];
    uint8_t collection_time;
    uint8_t model;
    uint8_t reserved[2];
};
static_assert(sizeof(StateRecord) == 16);
static_assert(offsetof(StateRecord, version) == 4);
static_assert(offsetof(StateRecord, size) == 6);
static_assert(offsetof(StateRecord, setbank) == 8);
static_assert(offsetof(StateRecord, collection_time) == 12);
static_assert(offsetof(StateRecord, model) == 13);
static_assert(offsetof(StateRecord, reserved) == 14);

// False (and `out` untouched) unless `data` is a valid record.
bool parse_state(const uint8_t* data, size_t size, Settings* out);
std::vector<uint8_t> encode_state(const Settings& settings);
// Loads the file; false when missing or invalid.
bool load_state(const std::string& path, Settings* out);
// Writes a new file and renames it over the old one.
bool save_state(const std::string& path, const Settings& settings, std::string* error);

}  // namespace qoremu
