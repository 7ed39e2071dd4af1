// Path helpers shared by the loader and the search calls: the platform's
// paths use `\` and are case-insensitive, Linux paths are neither.
#pragma once

#include <string>
#include <vector>

namespace qor::paths {

// `\` as `/`.
std::string native(std::string path);
bool is_absolute(const std::string& path);
// Everything before the last '/', or "." when there is none.
std::string folder_of(const std::string& path);
// The part after the last '/'.
std::string file_name_of(const std::string& path);
// `path` if it exists; else the existing path whose components match it
// case-insensitively (first match in each folder); else empty.
std::string find_existing(const std::string& path);
// The absolute path of a relative one, against the current folder.
std::string absolute(const std::string& path);
// Folder of the running executable (empty when unknown).
std::string executable_folder();
// The entries of a ';'-separated list, empty ones dropped.
std::vector<std::string> split_list(const std::string& list, char separator = ';');

}  // namespace qor::paths
