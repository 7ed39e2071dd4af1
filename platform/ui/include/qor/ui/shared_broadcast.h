// Setting changes from the system spooler to the programs of the members
// of its group. Their windows are listed in each user's own folder, which
// the spooler does not read; so each such program also listens on a socket
// of its own in the shared folder <system runtime folder>/windows (group
// qor, sticky: members add their sockets and remove only their own). The
// road carries WM_SETTINGCHANGE only, and only from root (the system
// spooler) or the listening user.
#pragma once

#include "qor/ui/window_directory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace qor::windir {

std::string shared_directory();

// The process whose socket the shared folder's entry `name` is
// ("<uid>-<pid>.sock"), and in `owner` the user it names; 0 for any other
// name. Members name these files.
pid_t shared_socket_pid(const std::string& name, uid_t* owner = nullptr);

// This process's socket in the shared folder, bound on the first call when
// the process works against the system installation and the folder exists
// and lets it in; -1 otherwise. Its name is <uid>-<pid>.sock, mode 0600;
// it is unlinked when the process exits normally.
int shared_listener();

// One waiting packet: a setting change posted (with its section as text)
// by root or this process's user. Anything else is read and dropped, and
// so is nullopt returned for it as when nothing waits.
std::optional<Packet> receive_shared(int fd);

// Posts WM_SETTINGCHANGE with `section` to every process listening in the
// shared folder; removes the sockets of processes that ended. Only an entry
// that is itself a socket of the user its name gives is sent to, never what
// a link points to. Returns how many it reached.
int broadcast_shared(const std::u16string& section);

}  // namespace qor::windir
