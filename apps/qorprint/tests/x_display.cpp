#include "x_display.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace e2e {

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

namespace {

// Reads the display number the server writes once it listens.
std::string ReadDisplayNumber(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string number;
    for (;;) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return {};
        char buffer[16];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};  // the server ended before it listened
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') return number;
            if (buffer[i] < '0' || buffer[i] > '9' || number.size() > 5) return {};
            number.push_back(buffer[i]);
        }
    }
}

// A pattern that matches `text` alone.
std::string Exactly(const std::string& text) {
    std::string pattern = "^";
    for (const char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern.push_back('\\');
        pattern.push_back(c);
    }
    return pattern + "$";
}

}  // namespace

XDisplay::XDisplay(std::chrono::milliseconds timeout) {
    const std::string server = FindOnPath("Xvfb");
    xdotool_ = FindOnPath("xdotool");
    if (server.empty() || xdotool_.empty()) {
        error_ = "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
        return;
    }
    // The server picks a free display itself and says which on this pipe,
    // which is also how we know it is ready.
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        error_ = "no pipe for the X server";
        return;
    }
    const int write_end = fcntl(pipe_fds[1], F_DUPFD, 3);  // inherited by the server, unlike the original
    close(pipe_fds[1]);
    if (write_end < 0) {
        close(pipe_fds[0]);
        error_ = "no pipe for the X server";
        return;
    }
    server_.emplace(qortest::Started::launch(
        server, {"-displayfd", std::to_string(write_end), "-nolisten", "tcp", "-screen", "0", "1024x768x24"}));
    close(write_end);
    const std::string number = ReadDisplayNumber(pipe_fds[0], timeout);
    close(pipe_fds[0]);
    if (number.empty()) {
        error_ = "the X server did not start: " + server_->finish(std::chrono::seconds(1)).err;
        server_.reset();
        return;
    }
    name_ = ":" + number;
    set_environment();
}

void XDisplay::set_environment() {
    for (const auto& [variable, value] : {std::pair<const char*, std::string>{"DISPLAY", name_},
                                          {"QT_QPA_PLATFORM", "xcb"}}) {
        const char* old = std::getenv(variable);
        saved_.emplace_back(variable, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(variable, value.c_str(), 1);
    }
}

XDisplay::~XDisplay() {
    for (const auto& [variable, value] : saved_) {
        if (value) setenv(variable.c_str(), value->c_str(), 1);
        else unsetenv(variable.c_str());
    }
    // Asked to end, the server removes its lock and socket.
    if (server_ && server_->pid() > 0 && ::kill(server_->pid(), SIGTERM) == 0) server_->finish(std::chrono::seconds(5));
}

qortest::Output XDisplay::xdotool(const std::vector<std::string>& args) const {
    return qortest::run(xdotool_, args, std::chrono::seconds(5));
}

std::optional<std::string> XDisplay::wait_window(pid_t pid, const std::string& title,
                                                 std::chrono::steady_clock::time_point deadline) const {
    for (;;) {
        const qortest::Output found = xdotool(
            {"search", "--onlyvisible", "--pid", std::to_string(pid), "--name", Exactly(title)});
        std::istringstream ids(found.out);
        std::string id;
        if (found.status == 0 && ids >> id) return id;
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    }
}

bool XDisplay::focus(const std::string& window) const {
    return xdotool({"windowfocus", "--sync", window}).status == 0;
}

bool XDisplay::keys(const std::vector<std::string>& combinations) const {
    std::vector<std::string> args{"key", "--clearmodifiers"};
    args.insert(args.end(), combinations.begin(), combinations.end());
    return xdotool(args).status == 0;
}

}  // namespace e2e
