#include "run_as.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace qorcups {

bool BecomeUser(const std::string& user, std::string* error) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        *error = "there is no account \"" + user + "\" to print as";
        return false;
    }
    // Groups first: they need root.
    if (initgroups(user.c_str(), found->pw_gid) != 0 || setgid(found->pw_gid) != 0 || setuid(found->pw_uid) != 0) {
        *error = "cannot become \"" + user + "\": " + std::strerror(errno);
        return false;
    }
    // For good: root must not come back.
    if (found->pw_uid != 0 && (setuid(0) == 0 || geteuid() == 0)) {
        *error = "cannot give up root for \"" + user + "\"";
        return false;
    }
    return true;
}

}  // namespace qorcups
