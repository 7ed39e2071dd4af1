// Process handles: the end of a child read from its pidfd.
#include "process_object.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qor::process {

ProcessObject::ProcessObject(pid_t pid, int pidfd) : Waitable(kernel::ObjectType::Process), pid_(pid), pidfd_(pidfd) {}

ProcessObject::~ProcessObject() {
    // A child still running when its last handle closes is reaped when it
    // ends, so it does not stay a zombie of a long-lived caller.
    if (!ended_.load()) {
        int fd = pidfd_;
        std::thread([fd] {
            siginfo_t info{};
            while (waitid(P_PIDFD, id_t(fd), &info, WEXITED) < 0 && errno == EINTR) {
            }
            close(fd);
        }).detach();
        return;
    }
    close(pidfd_);
}

bool ProcessObject::reap(bool block_until_end) {
    std::lock_guard guard(lock_);
    if (ended_.load()) return true;
    siginfo_t info{};
    int options = WEXITED | (block_until_end ? 0 : WNOHANG);
    int r;
    while ((r = waitid(P_PIDFD, id_t(pidfd_), &info, options)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
        // Someone else reaped it (a SIGCHLD handler): it has ended, code unknown.
        if (errno != ECHILD) return false;
        exit_code_.store(DWORD(ERROR_GEN_FAILURE));
    } else if (info.si_pid == 0) {
        return false;  // still running
    } else {
        int64_t forced = forced_code_.load();
        if (info.si_code == CLD_EXITED) exit_code_.store(DWORD(info.si_status));
        else exit_code_.store(forced >= 0 && info.si_status == SIGKILL ? DWORD(forced) : DWORD(128 + info.si_status));
    }
    ended_.store(1);
    return true;
}

kernel::Waitable::Try ProcessObject::try_acquire() { return reap(false) ? Try::Ready : Try::NotReady; }

DWORD ProcessObject::wait(const kernel::Deadline& deadline) {
    for (;;) {
        if (reap(false)) return WAIT_OBJECT_0;
        if (deadline.passed()) return WAIT_TIMEOUT;
        pollfd p{pidfd_, POLLIN, 0};
        int ms = deadline.infinite ? -1 : int(deadline.remaining_ms(INT32_MAX));
        poll(&p, 1, ms);
    }
}

DWORD ProcessObject::exit_code() {
    reap(false);
    return exit_code_.load();
}

bool ProcessObject::terminate(DWORD code) {
    if (ended_.load()) return false;
    forced_code_.store(code);
    return syscall(SYS_pidfd_send_signal, pidfd_, SIGKILL, nullptr, 0) == 0;
}

}  // namespace qor::process
