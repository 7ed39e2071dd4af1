// Talking to a running emulator's control socket, and waiting for what it
// prints: for tests and tools in any module.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace qoremu {

// Sends one control command (docs/printer-protocol.md, section 7). On "ok"
// returns true with the data lines in `lines`; on "error ..." or a failure
// to reach the emulator returns false with the reason in `error`.
bool control_command(const std::string& control_path, const std::string& command,
                     std::vector<std::string>* lines = nullptr, std::string* error = nullptr,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// $QOR_ROOT/qoremu/tickets
std::string default_tickets_dir();
// The ticket files (ticket-NNNN.png) in `dir`, sorted by number.
std::vector<std::string> list_tickets(const std::string& dir);
// Waits until `dir` holds at least `count` tickets.
bool wait_for_tickets(const std::string& dir, size_t count,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Waits until `path` exists (a socket the emulator is about to create).
bool wait_for_path(const std::string& path, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

}  // namespace qoremu
