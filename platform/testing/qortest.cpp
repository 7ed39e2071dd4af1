#include "qortest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qortest {
namespace {

std::string make_sandbox() {
    std::string base = std::filesystem::temp_directory_path().string() + "/qortest.XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return std::string(buf.data());
}

pid_t sandbox_owner = 0;

// Only the process that made the sandbox removes it, so a forked child that
// exits normally does not pull the folder from under its parent.
void remove_sandbox() {
    if (getpid() != sandbox_owner) return;
    std::error_code ec;
    std::filesystem::remove_all(sandbox(), ec);
}

}  // namespace

const std::string& sandbox() {
    // Never destroyed: the exit handler that removes the folder needs it.
    static const std::string& dir = *new std::string([] {
        std::string d = make_sandbox();
        for (const char* sub : {"root", "run", "config", "data", "home"})
            std::filesystem::create_directories(d + "/" + sub);
        setenv("QOR_ROOT", (d + "/root").c_str(), 1);
        setenv("QOR_RUNTIME_DIR", (d + "/run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (d + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (d + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (d + "/run").c_str(), 1);
        setenv("HOME", (d + "/home").c_str(), 1);
        sandbox_owner = getpid();
        std::atexit(remove_sandbox);
        return d;
    }());
    return dir;
}

std::string bin_dir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

Child Child::spawn(const std::string& program, const std::vector<std::string>& args) {
    return start(program, args, -1, -1, false);
}

Child Child::start(const std::string& program, const std::vector<std::string>& args, int out_fd, int err_fd,
                   bool tied) {
    std::string path = program.find('/') == std::string::npos ? bin_dir() + "/" + program : program;
    std::vector<std::string> argv_store{path};
    argv_store.insert(argv_store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_store) argv.push_back(a.data());
    argv.push_back(nullptr);
    Child child;
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // The parent may have gone between fork and prctl.
        if (tied && (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)) _exit(127);
        if (out_fd >= 0) dup2(out_fd, 1);
        if (err_fd >= 0) dup2(err_fd, 2);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    child.pid_ = pid;
    return child;
}

Child::Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

Child& Child::operator=(Child&& other) noexcept {
    if (this != &other) {
        if (running()) kill();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

Child::~Child() {
    if (running()) kill();
}

static int decode_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int Child::wait(std::chrono::milliseconds timeout) {
    if (!running()) return -1;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return decode_status(status);
        }
        if (r < 0 && errno != EINTR) {
            pid_ = -1;
            return -1;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        struct timespec ts{0, 1000000};
        nanosleep(&ts, nullptr);
    }
}

int Child::kill(int signal_number) {
    if (!running()) return -1;
    ::kill(pid_, signal_number);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    pid_ = -1;
    return decode_status(status);
}

namespace {

// An unnamed file in the sandbox for one stream of a run.
int capture_file() {
    std::string name = sandbox() + "/capture.XXXXXX";
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) unlink(name.c_str());
    return fd;
}

std::string contents(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, size_t(n));
    close(fd);
    return text;
}

}  // namespace

Started Started::launch(const std::string& program, const std::vector<std::string>& args) {
    Started started;
    started.out_fd_ = capture_file();
    started.err_fd_ = capture_file();
    if (started.out_fd_ >= 0 && started.err_fd_ >= 0)
        started.child_ = Child::start(program, args, started.out_fd_, started.err_fd_, true);
    return started;
}

Started::Started(Started&& other) noexcept
    : child_(std::move(other.child_)), out_fd_(other.out_fd_), err_fd_(other.err_fd_) {
    other.out_fd_ = other.err_fd_ = -1;
}

Started::~Started() {
    child_.kill();
    for (int fd : {out_fd_, err_fd_})
        if (fd >= 0) close(fd);
}

Output Started::finish(std::chrono::milliseconds timeout) {
    Output result;
    if (child_.running()) {
        result.status = child_.wait(timeout);
        if (result.status == -1) child_.kill();
    }
    result.out = out_fd_ >= 0 ? contents(out_fd_) : std::string();
    result.err = err_fd_ >= 0 ? contents(err_fd_) : std::string();
    out_fd_ = err_fd_ = -1;
    return result;
}

Output run(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    return Started::launch(program, args).finish(timeout);
}

}  // namespace qortest

int main(int argc, char** argv) {
    qortest::sandbox();  // set the environment before any test code runs
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
