// The system installation's folders as qorspoold --system needs them: the
// state folder open to the members' group only, the runtime folder open to
// every account (strangers reach the socket and are refused there), and
// the named-object namespace inside it writable by the group, with the
// set-group-id bit so that every object belongs to the group whoever
// creates it, and the folder where the members' programs listen for the
// spooler's setting changes. The service manager's tmpfiles rules make the same at boot;
// this covers a service started otherwise (and the tests).
#pragma once

#include <optional>
#include <sys/types.h>

namespace qor::spooler {

// 0 or an errno value.
int prepare_system_folders(std::optional<gid_t> group);

}  // namespace qor::spooler
