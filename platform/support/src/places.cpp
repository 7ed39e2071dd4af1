#include "qor/support/places.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

std::string user_root() {
    if (auto v = env_or_empty("XDG_DATA_HOME"); !v.empty()) return v + "/qor";
    return home() + "/.local/share/qor";
}

bool is_socket(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

bool system_mode() {
    std::string mode = env_or_empty("QOR_MODE");
    if (mode == "system") return true;
    if (mode == "user") return false;
    if (!env_or_empty("QOR_ROOT").empty() || !env_or_empty("QOR_RUNTIME_DIR").empty()) return false;
    return is_socket(system_runtime_dir() + "/" + kSpoolerSocketName) &&
           !exists(user_root() + "/registry/machine.reg");
}

std::string system_root() {
    if (auto v = env_or_empty("QOR_SYSTEM_ROOT"); !v.empty()) return v;
    return "/var/lib/qor";
}

std::string system_runtime_dir() {
    if (auto v = env_or_empty("QOR_SYSTEM_RUNTIME_DIR"); !v.empty()) return v;
    return "/run/qor";
}

std::string root() {
    if (auto v = env_or_empty("QOR_ROOT"); !v.empty()) return v;
    if (system_mode()) return system_root();
    return user_root();
}

std::string runtime_dir() {
    if (auto v = env_or_empty("QOR_RUNTIME_DIR"); !v.empty()) return v;
    if (system_mode()) return system_runtime_dir();
    if (auto v = env_or_empty("XDG_RUNTIME_DIR"); !v.empty()) return v + "/qor";
    return "/tmp/qor-" + std::to_string(getuid());
}

std::string config_dir() {
    if (auto v = env_or_empty("XDG_CONFIG_HOME"); !v.empty()) return v + "/qor";
    return home() + "/.config/qor";
}

unsigned folder_mode() { return system_mode() ? 0755 : 0700; }
unsigned object_folder_mode() { return system_mode() ? 02770 : 0700; }
unsigned object_file_mode() { return system_mode() ? 0660 : 0600; }

bool ensure_dir(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    struct stat st{};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) ensure_dir(path.substr(0, slash), mode);
    if (mkdir(path.c_str(), mode) == 0) {
        // The umask may have taken bits the caller asked for (group write,
        // set-group-id); the folder gets exactly `mode`.
        chmod(path.c_str(), mode);
        return true;
    }
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace qor::places
