#include "settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qoremu {

namespace {

constexpr char kMagic[4] = {'Q', 'E', 'M', 'S'};
constexpr uint16_t kStateVersion = 1;

const char* const kPaperWidths[8] = {"58 mm", "60 mm", "66 mm", "76.2 mm", "80 mm", "82.55 mm", "112 mm", "112 mm"};
const int kPaperDots[8] = {464, 480, 528, 609, 640, 660, 896, 896};
const char* const kDensity[8] = {"70%", "80%", "90%", "100%", "110%", "120%", "130%", "140%"};
const char* const kFonts[8] = {"Graphics", "Katakana", "Option", "Option", "Option", "Option", "Option", "Space"};
const char* const kBaud[4] = {"38400 bps", "19200 bps", "9600 bps", "4800 bps"};
const char* const kParity[4] = {"None", "Odd", "None", "Even"};

const char* on_off(int bit) { return bit ? "Enable" : "Disable"; }

}  // namespace

Settings factory_settings(Model model) {
    Settings s;
    s.model = model;
    s.bytes = {0x18, 0x07, uint8_t(model == Model::D610x ? 0x06 : 0x00), 0xC8};
    s.collection_time = 50;
    return s;
}

const char* model_name(Model model) { return model == Model::D610x ? "ZEM-D610x" : "ZEM-D510x"; }

bool parse_model(const std::string& text, Model* model) {
    std::string t;
    for (char c : text) t += char(std::toupper(static_cast<unsigned char>(c)));
    if (t == "D510X" || t == "ZEM-D510X" || t == "510") {
        *model = Model::D510x;
        return true;
    }
    if (t == "D610X" || t == "ZEM-D610X" || t == "610") {
        *model = Model::D610x;
        return true;
    }
    return false;
}

int paper_width_dots(const SettingBytes& bytes) { return kPaperDots[bytes[2] & 7]; }

std::vector<uint8_t> setting_read_reply(const SettingBytes& bytes) {
    std::vector<uint8_t> reply{0x55};
    for (uint8_t b : bytes) {
        reply.push_back(b & 0x0F);
        reply.push_back(b >> 4);
    }
    return reply;
}

std::vector<std::string> describe_settings(const SettingBytes& b) {
    std::vector<std::string> lines;
    auto add = [&](const char* label, const std::string& value) { lines.push_back(std::string(label) + ": " + value); };
    add("Head drive     ", b[0] & 1 ? "Fix div" : "Dynamic div");
    add("Drive speed    ", std::to_string((b[0] >> 1) & 3));
    add("Auto cutter    ", on_off(b[0] & 0x08));
    add("Presenter      ", on_off(b[0] & 0x10));
    add("Character font ", kFonts[b[0] >> 5]);
    add("Paper discharge", b[1] & 1 ? "Upward" : "Downward");
    add("Print density  ", kDensity[(b[1] >> 1) & 7]);
    add("Print speed    ", b[1] & 0x10 ? "Low" : "High");
    add("Font type      ", b[1] & 0x20 ? "Gothic" : "Standard");
    add("Driver         ", b[1] & 0x40 ? "QOR" : "Other");
    add("I/O Reset      ", on_off(b[1] & 0x80));
    add("Paper width    ", kPaperWidths[b[2] & 7]);
    add("Paper type     ", std::to_string((b[2] >> 3) & 7));
    add("Paper mark     ", b[2] & 0x40 ? "Mark" : "Non mark");
    add("Auto online    ", on_off(b[2] & 0x80));
    add("Busy condition ", b[3] & 1 ? "Full / Offline" : "Full");
    add("Baud rate      ", kBaud[(b[3] >> 1) & 3]);
    add("Bit length     ", b[3] & 0x08 ? "8bit" : "7bit");
    add("Parity         ", kParity[(b[3] >> 4) & 3]);
    add("Stop bit       ", b[3] & 0x40 ? "1bit" : "2bit");
    add("Data control   ", b[3] & 0x80 ? "BUSY" : "XON/XOFF");
    return lines;
}

bool parse_state(const uint8_t* data, size_t size, Settings* out) {
    if (size != sizeof(StateRecord)) return false;
    StateRecord record;
    std::memcpy(&record, data, sizeof(record));
    if (std::memcmp(record.magic, kMagic, 4) != 0 || record.version != kStateVersion ||
        record.size != sizeof(StateRecord))
        return false;
    if (record.model != uint8_t(Model::D510x) && record.model != uint8_t(Model::D610x)) return false;
    out->bytes = {record.setbank[0], record.setbank[1], record.setbank[2], record.setbank[3]};
    out->collection_time = record.collection_time;
    out->model = Model(record.model);
    return true;
}

std::vector<uint8_t> encode_state(const Settings& settings) {
    StateRecord record{};
    std::memcpy(record.magic, kMagic, 4);
    record.version = kStateVersion;
    record.size = sizeof(StateRecord);
    std::memcpy(record.setbank, settings.bytes.data(), 4);
    record.collection_time = settings.collection_time;
    record.model = uint8_t(settings.model);
    std::vector<uint8_t> bytes(sizeof(record));
    std::memcpy(bytes.data(), &record, sizeof(record));
    return bytes;
}

bool load_state(const std::string& path, Settings* out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t buffer[sizeof(StateRecord) + 1];
    ssize_t got = ::read(fd, buffer, sizeof(buffer));
    ::close(fd);
    return got > 0 && parse_state(buffer, size_t(got), out);
}

bool save_state(const std::string& path, const Settings& settings, std::string* error) {
    std::string temporary = path + ".new";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = temporary + ": " + std::strerror(errno);
        return false;
    }
    auto bytes = encode_state(settings);
    bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    if (error) *error = path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace qoremu
