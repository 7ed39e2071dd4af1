// qorspoold's socket side: one instance per QOR_RUNTIME_DIR (held by a lock
// file), a thread per client connection, and the rules for ending: a
// shutdown request or signal, the socket disappearing (its folder was
// removed or another instance took over), or, when started on demand, a
// spell with no clients and no jobs.
#pragma once

#include "admission.h"
#include "service.h"

#include <optional>
#include <string>

namespace qor::spooler {

struct ServerOptions {
    bool auto_started = false;
    int idle_seconds = 300;  // on-demand instances end after this long unused
    // The system-wide spooler: its socket open to every account, callers
    // admitted by their membership of `members_group`.
    bool system = false;
    std::optional<gid_t> members_group;
    // A listening socket passed by the service manager, used instead of
    // binding one; the manager keeps it, so it is never removed here.
    int passed_socket = -1;
};

class Server {
public:
    Server(Service& service, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Takes the instance lock and binds the socket. 0, or an errno value
    // (EEXIST when another instance runs).
    int bind();
    // Serves until told to end; then closes every connection.
    void run();
    // Async-signal-safe.
    void request_stop();

private:
    struct Connection;
    void serve(Connection& c);
    bool socket_still_ours() const;
    int adopt_passed_socket();
    void reap(bool all);

    Service& service_;
    ServerOptions options_;
    int lock_fd_ = -1;
    int listen_fd_ = -1;
    int wake_pipe_[2] = {-1, -1};
    ino_t socket_inode_ = 0;
    bool owns_socket_file_ = true;
    std::string socket_path_;
    std::mutex connections_mutex_;
    std::vector<std::unique_ptr<Connection>> connections_;
    uint64_t next_session_ = 1;
};

}  // namespace qor::spooler
