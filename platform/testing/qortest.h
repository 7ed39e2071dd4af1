// Test support shared by every module's tests: each test process runs in
// fresh QOR_ROOT / QOR_RUNTIME_DIR / XDG folders that are removed at exit,
// and child processes it starts are killed and reaped when it ends.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qortest {

// Set as the last error before a call whose error a test checks, so the
// check cannot pass on an error an earlier call left behind.
inline constexpr unsigned kStaleError = 0xdeadbeef;

// The fresh folder this test process owns (parent of root, run, config).
const std::string& sandbox();
// Folder of the running test binary: build/bin, where all programs live.
std::string bin_dir();

struct Output;

// A child process started with fork+exec. Killed (SIGKILL) and reaped on
// destruction if still running.
class Child {
public:
    Child() = default;
    // Starts `program` (a name in bin_dir() or a path) with `args`.
    static Child spawn(const std::string& program, const std::vector<std::string>& args);
    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0; }
    // Waits for exit; returns the exit status (128+signal when killed), or -1
    // on time-out (the child keeps running).
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends a signal (SIGKILL by default) and reaps the child.
    int kill(int signal_number = 9);

private:
    friend class Started;
    // The child's standard output and error go to these descriptors (-1:
    // inherited). A `tied` child is killed by the kernel when the thread
    // that started it ends, the test process crashing included.
    static Child start(const std::string& program, const std::vector<std::string>& args, int out_fd, int err_fd,
                       bool tied);
    pid_t pid_ = -1;
};

// What a program run to its end wrote, and its exit status (as Child::wait).
struct Output {
    int status = -1;
    std::string out, err;
};
// Runs `program` (as Child::spawn) for at most `timeout`, capturing its
// standard output and error.
Output run(const std::string& program, const std::vector<std::string>& args,
           std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A program started as run() starts it but left running while the test
// works with it (answers its windows, say); finish() collects what run()
// returns. Killed and reaped on destruction if still running, and by the
// kernel if the thread that launched it ends first (a crashed test leaves
// nothing behind), so launch and finish it on one thread.
class Started {
public:
    static Started launch(const std::string& program, const std::vector<std::string>& args);
    Started(Started&& other) noexcept;
    Started& operator=(Started&&) = delete;
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    ~Started();

    pid_t pid() const { return child_.pid(); }
    // Waits for the end (killing it at the time-out, status -1); once.
    Output finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));

private:
    Started() = default;
    Child child_;
    int out_fd_ = -1, err_fd_ = -1;
};

// Polls `condition` until it holds or `timeout` passes; for waiting on
// another process's visible effect.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        struct timespec ts{0, 1000000};
        nanosleep(&ts, nullptr);
    }
    return true;
}

}  // namespace qortest
