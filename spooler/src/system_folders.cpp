#include "system_folders.h"

#include "qor/support/places.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

int prepare(const std::string& path, unsigned mode, std::optional<gid_t> group) {
    if (!places::ensure_dir(path, mode)) return errno ? errno : ENOTDIR;
    if (group && chown(path.c_str(), uid_t(-1), *group) != 0) return errno;
    // chown clears the set-group-id bit; the mode is set after it.
    if (chmod(path.c_str(), mode) != 0) return errno;
    return 0;
}

}  // namespace

int prepare_system_folders(std::optional<gid_t> group) {
    if (int e = prepare(places::system_root(), 02750, group)) return e;
    // Drivers and description files are read by the members' programs.
    if (int e = prepare(places::system_root() + "/spool", 0755, std::nullopt)) return e;
    if (int e = prepare(places::system_runtime_dir(), 0755, std::nullopt)) return e;
    if (int e = prepare(places::system_runtime_dir() + "/objects", 02770, group)) return e;
    // The members' programs listen here for the spooler's setting changes;
    // sticky, so that no member removes another's socket.
    return prepare(places::system_runtime_dir() + "/windows", 03770, group);
}

}  // namespace qor::spooler
