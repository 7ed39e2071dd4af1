#include "activation.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

std::optional<long> number(const char* text) {
    if (!text || !*text) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno || *end || v < 0) return std::nullopt;
    return v;
}

}  // namespace

std::optional<int> passed_socket(const char* listen_pid, const char* listen_fds, pid_t self) {
    auto pid = number(listen_pid);
    auto count = number(listen_fds);
    if (!pid || !count || *pid != self || *count < 1) return std::nullopt;
    return kFirstPassedFd;
}

std::optional<int> take_activated_socket() {
    auto fd = passed_socket(std::getenv("LISTEN_PID"), std::getenv("LISTEN_FDS"), getpid());
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    if (!fd) return std::nullopt;
    int type = 0;
    socklen_t len = sizeof type;
    // Anything but a stream socket is not what the unit promised.
    if (getsockopt(*fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) return std::nullopt;
    fcntl(*fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

}  // namespace qor::spooler
