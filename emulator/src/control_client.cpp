#include "qoremu/control_client.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "qor/support/places.h"

namespace qoremu {

namespace {

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// ticket-NNNN.png -> NNNN, else 0.
unsigned ticket_number(const std::string& name) {
    if (name.size() < 12 || name.compare(0, 7, "ticket-") != 0 || name.compare(name.size() - 4, 4, ".png") != 0)
        return 0;
    unsigned number = 0;
    for (size_t i = 7; i < name.size() - 4; ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 100000000) return 0;
        number = number * 10 + unsigned(name[i] - '0');
    }
    return number;
}

}  // namespace

bool control_command(const std::string& control_path, const std::string& command, std::vector<std::string>* lines,
                     std::string* error, std::chrono::milliseconds timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (control_path.size() >= sizeof(address.sun_path)) return fail(error, "control path too long");
    std::memcpy(address.sun_path, control_path.c_str(), control_path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(error, std::string("socket: ") + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        return fail(error, "connect " + control_path + ": " + std::strerror(errno));
    std::string text = command + "\n";
    if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != ssize_t(text.size()))
        return fail(error, "control command not sent");
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string reply;
    std::vector<std::string> got;
    for (;;) {
        size_t end;
        while ((end = reply.find('\n')) != std::string::npos) {
            std::string line = reply.substr(0, end);
            reply.erase(0, end + 1);
            if (line == "ok") {
                if (lines) *lines = std::move(got);
                return true;
            }
            if (line.rfind("error", 0) == 0) return fail(error, line.size() > 6 ? line.substr(6) : line);
            got.push_back(line);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return fail(error, "no answer from the emulator");
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        char buffer[4096];
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(error, "the emulator closed the control connection");
        reply.append(buffer, size_t(n));
    }
}

std::string default_tickets_dir() { return qor::places::root() + "/qoremu/tickets"; }

std::vector<std::string> list_tickets(const std::string& dir) {
    std::vector<std::pair<unsigned, std::string>> found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* entry = ::readdir(d)) {
            std::string name = entry->d_name;
            if (unsigned number = ticket_number(name)) found.emplace_back(number, dir + "/" + name);
        }
        ::closedir(d);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& f : found) paths.push_back(f.second);
    return paths;
}

bool wait_for_tickets(const std::string& dir, size_t count, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (list_tickets(dir).size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool wait_for_path(const std::string& path, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    struct stat st;
    while (::stat(path.c_str(), &st) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace qoremu
