// Stands in for the service manager's socket activation in the tests:
//   spooltest_helper_activate SOCKET STATE_DIR PROGRAM [ARGS...]
// listens on SOCKET, and whenever a client knocks while PROGRAM is not
// running, starts it with the socket as descriptor 3 and LISTEN_FDS /
// LISTEN_PID naming it. STATE_DIR/starts and STATE_DIR/ends count the
// program's starts and ends (written before and after each run).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void write_count(const std::string& path, int n) {
    std::string temporary = path + ".new";
    if (FILE* f = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(f, "%d\n", n);
        std::fclose(f);
        std::rename(temporary.c_str(), path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SOCKET STATE_DIR PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    std::string path = argv[1], state = argv[2];
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return 2;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    unlink(path.c_str());
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        chmod(path.c_str(), 0666) != 0 || listen(listener, 64) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    int starts = 0, ends = 0;
    write_count(state + "/starts", 0);
    write_count(state + "/ends", 0);
    for (;;) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        write_count(state + "/starts", ++starts);
        pid_t child = fork();
        if (child < 0) return 1;
        if (child == 0) {
            // The service ends with its manager, so no test leaves it behind.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (listener == 3) fcntl(3, F_SETFD, 0);
            else if (dup2(listener, 3) < 0) _exit(126);  // dup2 clears close-on-exec
            setenv("LISTEN_FDS", "1", 1);
            setenv("LISTEN_PID", std::to_string(getpid()).c_str(), 1);
            execv(argv[3], argv + 3);
            _exit(127);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
        write_count(state + "/ends", ++ends);
    }
}
