// What qorrc produces: resources keyed by type and name, and the little-endian
// byte writer the binary layouts are written with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qorrc {

// A number (id, name empty) or an upper-case name (id 0).
struct Key {
    uint16_t id = 0;
    std::string name;
    bool operator<(const Key& other) const { return id != other.id ? id < other.id : name < other.name; }
    bool operator==(const Key& other) const { return id == other.id && name == other.name; }
};

struct Resource {
    Key type;
    Key name;
    std::vector<unsigned char> data;
};

struct Failure {
    std::string message;
};

constexpr uint16_t rt_icon = 3;
constexpr uint16_t rt_menu = 4;
constexpr uint16_t rt_dialog = 5;
constexpr uint16_t rt_string = 6;
constexpr uint16_t rt_accelerator = 9;
constexpr uint16_t rt_rcdata = 10;
constexpr uint16_t rt_group_icon = 14;
constexpr uint16_t rt_version = 16;

// Everything one run collects: binary resources, and the string table kept
// apart until the end because its blocks gather strings from every source.
struct Output {
    std::vector<Resource> resources;
    std::map<uint32_t, std::u16string> strings;
    uint16_t next_icon_image = 1;  // RT_ICON ids are numbered per module
};

class Bytes {
public:
    void u8(uint8_t v) { data_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    // Zero-terminated UTF-16LE.
    void wide(const std::u16string& text) {
        for (char16_t c : text) u16(c);
        u16(0);
    }
    // A name-or-ordinal field: 0xFFFF + number, or the zero-terminated name.
    void name_or_ordinal(const Key& key) {
        if (key.name.empty()) {
            u16(0xFFFF);
            u16(key.id);
        } else {
            for (char c : key.name) u16(static_cast<unsigned char>(c));
            u16(0);
        }
    }
    void align(size_t boundary) {
        while (data_.size() % boundary) u8(0);
    }
    void append(const std::vector<unsigned char>& more) { data_.insert(data_.end(), more.begin(), more.end()); }
    void patch16(size_t at, uint16_t v) {
        data_[at] = static_cast<unsigned char>(v);
        data_[at + 1] = static_cast<unsigned char>(v >> 8);
    }
    size_t size() const { return data_.size(); }
    std::vector<unsigned char>& data() { return data_; }

private:
    std::vector<unsigned char> data_;
};

}  // namespace qorrc
