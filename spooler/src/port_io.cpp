#include "port_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <unistd.h>

namespace qor::spooler {
namespace {

const IoOps kSystem{::write, ::read, ::poll};
std::atomic<const IoOps*> current{&kSystem};

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`; -1 means no limit.
int remaining(bool limited, Clock::time_point deadline) {
    if (!limited) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for `events`; 0 when ready, ERROR_TIMEOUT, or a platform error.
DWORD wait_for(const IoOps& io, int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = io.poll(&p, 1, timeout_ms);
        if (r > 0) {
            if ((p.revents & POLLNVAL) != 0) return ERROR_INVALID_HANDLE;
            return 0;  // errors and hang-ups show on the following call
        }
        if (r == 0) return ERROR_TIMEOUT;
        if (errno != EINTR) return error_from_errno(errno);
    }
}

}  // namespace

const IoOps& system_io() { return kSystem; }
const IoOps& port_io() { return *current.load(); }
void set_port_io(const IoOps* ops) { current.store(ops ? ops : &kSystem); }

DWORD error_from_errno(int error) {
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: return ERROR_ACCESS_DENIED;
    case EBUSY: return ERROR_BUSY;
    case ENOSPC: case EDQUOT: case EFBIG: return ERROR_DISK_FULL;
    case EIO: return ERROR_IO_DEVICE;
    case ENODEV: case ENXIO: return ERROR_DEV_NOT_EXIST;
    case EPIPE: case ECONNRESET: case ENOTCONN: return ERROR_BROKEN_PIPE;
    case ECONNREFUSED: return ERROR_NOT_READY;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
    }
}

DWORD write_all(int fd, const uint8_t* data, size_t size, int timeout_ms, size_t& written) {
    const IoOps& io = port_io();
    written = 0;
    bool limited = timeout_ms >= 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(limited ? timeout_ms : 0);
    while (written < size) {
        ssize_t n = io.write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            int left = remaining(limited, deadline);
            if (left == 0) return ERROR_TIMEOUT;
            if (DWORD e = wait_for(io, fd, POLLOUT, left)) return e;
            continue;
        }
        return error_from_errno(errno);
    }
    return 0;
}

DWORD read_some(int fd, uint8_t* buffer, size_t size, int first_ms, int interval_ms, size_t& got, int total_ms) {
    const IoOps& io = port_io();
    got = 0;
    int wait = first_ms;
    const bool limited = total_ms >= 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? total_ms : 0);
    while (got < size) {
        if (limited) wait = std::min(wait, remaining(true, deadline));
        DWORD e = wait_for(io, fd, POLLIN, wait);
        if (e == ERROR_TIMEOUT) return 0;
        if (e) return got ? 0 : e;
        ssize_t n = io.read(fd, buffer + got, size - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            wait = interval_ms;
            continue;
        }
        if (n == 0) return 0;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        return got ? 0 : error_from_errno(errno);
    }
    return 0;
}

}  // namespace qor::spooler
