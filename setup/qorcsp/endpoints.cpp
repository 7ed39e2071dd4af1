// Serving the endpoints from one thread: each connection gets its answer at
// once and is closed.
#include "endpoints.h"

#include "qor/support/places.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qorcsp {

namespace {

constexpr int kDefaultPort = 9187;
// A scraper's request is read for at most this long before answering.
constexpr int kRequestReadMs = 500;

void write_all(int fd, const std::string& text) {
    size_t at = 0;
    while (at < text.size()) {
        ssize_t n = send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        at += size_t(n);
    }
}

// Reads the request head (up to an empty line), without waiting long.
void read_request(int fd) {
    std::string head;
    char buffer[1024];
    while (head.size() < 8192 && head.find("\r\n\r\n") == std::string::npos &&
           head.find("\n\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kRequestReadMs) <= 0) return;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, size_t(n));
    }
}

int metrics_port() {
    const char* text = std::getenv("QOR_CSP_PORT");
    if (!text || !*text) return kDefaultPort;
    char* end = nullptr;
    long port = std::strtol(text, &end, 10);
    return (*end == '\0' && port >= 0 && port <= 65535) ? int(port) : -1;
}

}  // namespace

Endpoints::~Endpoints() {
    for (int fd : {local_, tcp_, wake_[0], wake_[1]})
        if (fd >= 0) close(fd);
    if (!socket_path_.empty()) unlink(socket_path_.c_str());
    if (!port_path_.empty()) unlink(port_path_.c_str());
}

bool Endpoints::open() {
    if (pipe2(wake_, O_CLOEXEC) != 0) return false;
    std::string folder = qor::places::runtime_dir();
    qor::places::ensure_dir(folder);
    socket_path_ = folder + "/qorcsp.sock";
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    if (socket_path_.size() >= sizeof local.sun_path) {
        std::fprintf(stderr, "qorcsp: %s: path too long\n", socket_path_.c_str());
        return false;
    }
    std::memcpy(local.sun_path, socket_path_.c_str(), socket_path_.size() + 1);
    unlink(socket_path_.c_str());
    local_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (local_ < 0 || bind(local_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(local_, 16) != 0) {
        std::fprintf(stderr, "qorcsp: %s: %s\n", socket_path_.c_str(), std::strerror(errno));
        return false;
    }
    int port = metrics_port();
    if (port < 0) {
        std::fprintf(stderr, "qorcsp: QOR_CSP_PORT: not a port number\n");
        return false;
    }
    tcp_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(tcp_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    socklen_t length = sizeof address;
    if (tcp_ < 0 || bind(tcp_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(tcp_, 16) != 0 ||
        getsockname(tcp_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "qorcsp: 127.0.0.1:%d: %s\n", port, std::strerror(errno));
        return false;
    }
    port_path_ = folder + "/qorcsp.port";
    std::string temporary = port_path_ + ".new";
    if (FILE* f = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(f, "%d\n", int(ntohs(address.sin_port)));
        std::fclose(f);
        std::rename(temporary.c_str(), port_path_.c_str());
    }
    return true;
}

void Endpoints::answer_local(int listener) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    write_all(fd, json_());
    close(fd);
}

void Endpoints::answer_metrics(int listener) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    read_request(fd);
    std::string body = metrics_();
    write_all(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/plain; version=0.0.4\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    close(fd);
}

void Endpoints::serve() {
    for (;;) {
        pollfd p[3] = {{wake_[0], POLLIN, 0}, {local_, POLLIN, 0}, {tcp_, POLLIN, 0}};
        if (poll(p, 3, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p[0].revents) return;
        if (p[1].revents & POLLIN) answer_local(local_);
        if (p[2].revents & POLLIN) answer_metrics(tcp_);
    }
}

void Endpoints::stop() {
    char byte = 1;
    while (write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace qorcsp
