#include "admission.h"

#include <algorithm>
#include <cstdlib>
#include <grp.h>
#include <vector>

namespace qor::spooler {

Admission admit(const security::Caller& caller, bool system, std::optional<gid_t> group, uid_t service_uid) {
    if (!system) return {};
    const bool administrator = caller.uid == 0 || caller.uid == service_uid;
    const bool in_group =
        group && std::find(caller.groups.begin(), caller.groups.end(), *group) != caller.groups.end();
    return {administrator || in_group, administrator};
}

std::optional<gid_t> members_group() {
    const char* name = std::getenv("QOR_GROUP");
    if (!name || !*name) name = "qor";
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
    return found->gr_gid;
}

}  // namespace qor::spooler
