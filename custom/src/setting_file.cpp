#include "setting_file.h"

#include <cstdio>
#include <memory>

namespace custom {

std::optional<SettingBytes> parse_setting_file(const BYTE* data, size_t size, FileRoute route) {
    if (!data || size < kSettingFileSize) return std::nullopt;
    if (route == FileRoute::Dialog && size != kSettingFileSize) return std::nullopt;
    if (data[0] != 'S' || data[1] != 'P') return std::nullopt;
    return SettingBytes{data[2], data[3], data[4], data[5]};
}

std::string format_setting_file(const SettingBytes& bytes) {
    std::string out = "SP";
    for (BYTE b : bytes) out.push_back(static_cast<char>(b));
    return out;
}

SettingBytes merge_under_mask(const SettingBytes& current, const SettingBytes& file, const SettingBytes& mask) {
    SettingBytes out{};
    for (size_t k = 0; k < out.size(); ++k) out[k] = BYTE((file[k] & mask[k]) | (current[k] & ~mask[k]));
    return out;
}

namespace {
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
}  // namespace

std::optional<std::string> read_file_head(const std::string& path, size_t limit) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::string data(limit, '\0');
    data.resize(std::fread(data.data(), 1, limit, file.get()));
    return data;
}

bool write_setting_file(const std::string& path, const SettingBytes& bytes) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    const std::string data = format_setting_file(bytes);
    const bool written = std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
    return std::fclose(file.release()) == 0 && written;
}

}  // namespace custom
