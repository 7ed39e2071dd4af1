#include "server.h"

#include "qor/support/places.h"
#include "request_dispatch.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qor::spooler {

struct Server::Connection {
    int fd = -1;
    Session session;
    std::thread thread;
    std::atomic<bool> done{false};
};

namespace {

std::string user_name(uid_t uid) {
    passwd pw{};
    passwd* found = nullptr;
    char buf[1024];
    if (getpwuid_r(uid, &pw, buf, sizeof buf, &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

}  // namespace

Server::Server(Service& service, ServerOptions options) : service_(service), options_(options) {
    if (pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) wake_pipe_[0] = wake_pipe_[1] = -1;
}

Server::~Server() {
    reap(true);
    if (listen_fd_ >= 0) close(listen_fd_);
    for (int fd : wake_pipe_)
        if (fd >= 0) close(fd);
    if (lock_fd_ >= 0) close(lock_fd_);
}

int Server::bind() {
    std::string run = places::runtime_dir();
    if (!places::ensure_dir(run)) return errno ? errno : EACCES;
    lock_fd_ = open((run + "/" + spool::kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ < 0) return errno;
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EEXIST : errno;
    socket_path_ = spool::socket_path();
    if (options_.passed_socket >= 0) return adopt_passed_socket();
    sockaddr_un addr{};
    if (socket_path_.size() >= sizeof addr.sun_path) return ENAMETOOLONG;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socket_path_.c_str(), socket_path_.size() + 1);
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) return errno;
    unlink(socket_path_.c_str());  // left by an instance that ended abruptly; we hold the lock
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return errno;
    chmod(socket_path_.c_str(), options_.system ? 0666 : 0600);
    if (listen(listen_fd_, 128) != 0) return errno;
    struct stat st{};
    if (stat(socket_path_.c_str(), &st) != 0) return errno;
    socket_inode_ = st.st_ino;
    return 0;
}

// The manager's socket must be the one clients find at our path; one bound
// elsewhere would leave them knocking at a door nobody answers.
int Server::adopt_passed_socket() {
    listen_fd_ = options_.passed_socket;
    options_.passed_socket = -1;
    struct stat at_path{}, passed{};
    if (stat(socket_path_.c_str(), &at_path) != 0) return errno;
    if (fstat(listen_fd_, &passed) != 0) return errno;
    if (!S_ISSOCK(passed.st_mode)) return ENOTSOCK;
    sockaddr_un addr{};
    socklen_t len = sizeof addr;
    if (getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return errno;
    if (addr.sun_family != AF_UNIX || std::string(addr.sun_path) != socket_path_) return EADDRNOTAVAIL;
    socket_inode_ = at_path.st_ino;
    owns_socket_file_ = false;
    return 0;
}

void Server::request_stop() {
    char c = 1;
    if (wake_pipe_[1] >= 0) {
        ssize_t n = write(wake_pipe_[1], &c, 1);
        (void)n;
    }
}

bool Server::socket_still_ours() const {
    struct stat st{};
    return stat(socket_path_.c_str(), &st) == 0 && st.st_ino == socket_inode_;
}

void Server::serve(Connection& c) {
    for (;;) {
        spool::FrameHeader header{};
        std::vector<uint8_t> payload;
        // Descriptors a client might send are closed, never used.
        if (spool::recv_frame(c.fd, header, payload) != spool::RecvResult::Ok) break;
        spool::Reader in(payload);
        DispatchResult r = dispatch_request(service_, c.session, static_cast<spool::Op>(header.op), in);
        bool sent = spool::send_frame(c.fd, spool::Op::Reply, r.reply.payload(), r.pass_fd);
        if (r.pass_fd >= 0) close(r.pass_fd);
        if (r.shutdown) request_stop();
        if (!sent) break;
    }
    // A connection that ends, whatever the reason, gives back what it held.
    service_.close_printer(c.session);
    std::lock_guard lock(connections_mutex_);
    close(c.fd);
    c.fd = -1;
    c.done = true;
}

void Server::reap(bool all) {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard lock(connections_mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all && (*it)->fd >= 0) shutdown((*it)->fd, SHUT_RDWR);
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished)
        if (c->thread.joinable()) c->thread.join();
}

void Server::run() {
    using Clock = std::chrono::steady_clock;
    auto idle_since = Clock::now();
    for (;;) {
        pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
        int n = poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR) break;
        if (n > 0 && fds[1].revents) break;
        if (n > 0 && (fds[0].revents & POLLIN)) {
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            ucred cred{};
            socklen_t len = sizeof cred;
            // A caller whose identity cannot be read would pass for root.
            if (fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
                close(fd);
                fd = -1;
            }
            if (fd >= 0) {
                auto c = std::make_unique<Connection>();
                c->fd = fd;
                c->session.id = next_session_++;
                c->session.pid = cred.pid;
                c->session.uid = cred.uid;
                c->session.user = user_name(cred.uid);
                c->session.caller = security::caller_of(cred.uid, cred.gid);
                Admission admission = admit(c->session.caller, options_.system, options_.members_group, geteuid());
                c->session.member = admission.member;
                c->session.administrator = admission.administrator;
                Connection* raw = c.get();
                std::lock_guard lock(connections_mutex_);
                connections_.push_back(std::move(c));
                raw->thread = std::thread([this, raw] { serve(*raw); });
            }
        }
        reap(false);
        if (!socket_still_ours()) break;
        bool clients = false;
        {
            std::lock_guard lock(connections_mutex_);
            // The service's own monitors hold handles too; they do not count.
            for (const auto& c : connections_) clients |= c->session.pid != getpid();
        }
        if (clients || !service_.idle()) idle_since = Clock::now();
        if (options_.auto_started && Clock::now() - idle_since > std::chrono::seconds(options_.idle_seconds)) break;
    }
    if (owns_socket_file_ && socket_still_ours()) unlink(socket_path_.c_str());
    close(listen_fd_);
    listen_fd_ = -1;
    reap(true);
}

}  // namespace qor::spooler
