#include "qor/support/places.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::places {
namespace {

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : std::string();
}

std::string home() {
    std::string h = env_or_empty("HOME");
    return h.empty() ? std::string("/tmp") : h;
}

}  // namespace

std::string root() {
    if (auto v = env_or_empty("QOR_ROOT"); !v.empty()) return v;
    if (auto v = env_or_empty("XDG_DATA_HOME"); !v.empty()) return v + "/qor";
    return home() + "/.local/share/qor";
}

std::string runtime_dir() {
    if (auto v = env_or_empty("QOR_RUNTIME_DIR"); !v.empty()) return v;
    if (auto v = env_or_empty("XDG_RUNTIME_DIR"); !v.empty()) return v + "/qor";
    return "/tmp/qor-" + std::to_string(getuid());
}

std::string config_dir() {
    if (auto v = env_or_empty("XDG_CONFIG_HOME"); !v.empty()) return v + "/qor";
    return home() + "/.config/qor";
}

bool ensure_dir(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    struct stat st{};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) ensure_dir(path.substr(0, slash), mode);
    if (mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return false;
}

}  // namespace qor::places
