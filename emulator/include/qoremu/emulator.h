// Running the emulator: in this process (on a thread of its own) or as the
// qoremu program. Tests anywhere in the suite start one in fresh
// QOR_RUNTIME_DIR / QOR_ROOT folders, print to it and look at the tickets.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qoremu {

class Server;

struct EmulatorOptions {
    std::string name = "zemd";
    bool socket = true;         // the framed Unix socket transport
    std::string socket_path;    // default $QOR_RUNTIME_DIR/qoremu/<name>.sock
    std::string control_path;   // default $QOR_RUNTIME_DIR/qoremu/<name>.ctl
    bool pty = false;           // the pseudo-terminal transport
    std::string pty_link;       // a symbolic link kept pointing at the terminal
    std::string tickets_dir;    // default $QOR_ROOT/qoremu/tickets
    std::string state_path;     // default $QOR_ROOT/qoremu/<name>.state
    std::string model = "D510x";
    int baud = 0;               // line speed, 0 = no limit
    int print_speed = 0;        // mm/s, 0 = no limit
    size_t receive_buffer = 8192;
    int reset_ms = 300;
    std::vector<std::string> conditions;  // raised at start
    bool silent = false;
};

// The options as command-line arguments of the qoremu program.
std::vector<std::string> emulator_arguments(const EmulatorOptions& options);

class Emulator {
public:
    // Creates the sockets and starts serving; nullptr (with the reason in
    // `error`) when a socket cannot be made or another emulator has the name.
    static std::unique_ptr<Emulator> start(const EmulatorOptions& options, std::string* error = nullptr);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    void stop();
    const std::string& socket_path() const;
    const std::string& control_path() const;
    const std::string& tickets_dir() const;
    // The pseudo-terminal's path, empty without --pty.
    std::string pty_path() const;

    bool control(const std::string& command, std::vector<std::string>* lines = nullptr,
                 std::string* error = nullptr);
    bool wait_for_tickets(size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

private:
    Emulator() = default;
    std::unique_ptr<Server> server_;
    std::thread thread_;
};

}  // namespace qoremu
