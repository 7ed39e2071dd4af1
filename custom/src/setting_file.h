// Setting files (*.dip): "SP" and the four setting bytes, 6 bytes in all.
#pragma once

#include "common/setting_reply.h"

#include <cstddef>
#include <optional>
#include <string>

namespace custom {

using qor::settings::SettingBytes;

inline constexpr size_t kSettingFileSize = 6;

enum class FileRoute {
    Dialog,    // exactly 6 bytes
    Document,  // at least 6; bytes after the sixth ignored
};

// The setting bytes a file's content holds, or none when the route refuses it.
std::optional<SettingBytes> parse_setting_file(const BYTE* data, size_t size, FileRoute route);
std::string format_setting_file(const SettingBytes& bytes);

// The file's bytes where the mask allows, the current ones elsewhere.
SettingBytes merge_under_mask(const SettingBytes& current, const SettingBytes& file, const SettingBytes& mask);

// The whole file (at most `limit` bytes are read, enough to see it is too
// long); none when it cannot be opened.
std::optional<std::string> read_file_head(const std::string& path, size_t limit);
bool write_setting_file(const std::string& path, const SettingBytes& bytes);

}  // namespace custom
