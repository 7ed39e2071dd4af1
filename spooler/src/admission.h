// Who may talk to the system-wide spooler at all. Its socket is open to
// every account so that a stranger gets a clear ERROR_ACCESS_DENIED rather
// than a missing service; members of the installation's group use the
// printers as their security descriptors allow, and only the administrator
// (root, or the account the service runs as) changes what the machine has:
// printers, drivers, ports, monitors, and stopping the service.
#pragma once

#include "qor/security/access.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace qor::spooler {

struct Admission {
    bool member = true;
    bool administrator = true;
};

// In per-user mode the socket is the user's own and everybody on it is
// admitted. In system mode members of `group` are; without such a group
// only the administrator is.
Admission admit(const security::Caller& caller, bool system, std::optional<gid_t> group, uid_t service_uid);

// The group named by $QOR_GROUP (default "qor"); none when the user
// database has no such group.
std::optional<gid_t> members_group();

}  // namespace qor::spooler
