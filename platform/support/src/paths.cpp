#include "qor/support/paths.h"

#include <dirent.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::paths {
namespace {

bool exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` ignoring ASCII case.
std::string match_in_folder(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return std::string();
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string native(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool is_absolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string folder_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string file_name_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string find_existing(const std::string& path) {
    if (path.empty()) return std::string();
    if (exists(path)) return path;
    std::string resolved = is_absolute(path) ? std::string() : std::string(".");
    size_t start = is_absolute(path) ? 1 : 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::string candidate = resolved + "/" + part;
        if (!exists(candidate)) {
            std::string match = match_in_folder(resolved, part);
            if (match.empty()) return std::string();
            candidate = resolved + "/" + match;
        }
        resolved = candidate;
    }
    if (!is_absolute(path) && resolved.rfind("./", 0) == 0) resolved.erase(0, 2);
    return resolved.empty() ? std::string("/") : resolved;
}

std::string absolute(const std::string& path) {
    if (is_absolute(path)) return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    std::string base(cwd);
    std::string rest = path.rfind("./", 0) == 0 ? path.substr(2) : path;
    return base == "/" ? "/" + rest : base + "/" + rest;
}

std::string executable_folder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return folder_of(std::string(buffer, static_cast<size_t>(n)));
}

std::vector<std::string> split_list(const std::string& list, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(separator, start);
        if (end == std::string::npos) end = list.size();
        if (end > start) parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace qor::paths
