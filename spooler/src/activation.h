// Sockets handed over by the service manager (socket activation): the
// manager listens on the spooler's socket, starts the service on the first
// connection and passes the listening socket as descriptor 3, naming the
// receiving process in LISTEN_PID and the count in LISTEN_FDS.
#pragma once

#include <optional>
#include <sys/types.h>

namespace qor::spooler {

inline constexpr int kFirstPassedFd = 3;

// The first passed descriptor when the variables are meant for `self`.
std::optional<int> passed_socket(const char* listen_pid, const char* listen_fds, pid_t self);

// The listening socket this process was handed, if any. The variables are
// removed so that the service's children do not take them for their own.
std::optional<int> take_activated_socket();

}  // namespace qor::spooler
