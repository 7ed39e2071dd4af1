// The machine's top-level windows, shared between processes without Qt:
// every process with windows writes one record per top-level window into
// $QOR_RUNTIME_DIR/windows/ and listens on a datagram socket there, through
// which other processes post messages to its windows and ask it to raise
// or restore one. The service uses it to tell every program that printers
// changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace qor::windir {

enum WindowFlags : uint32_t { kVisible = 1, kIconic = 2 };

struct WindowRecord {
    uint32_t pid = 0;
    uint64_t handle = 0;  // the window's handle in its own process
    uint32_t flags = 0;
    std::u16string class_name;
    std::u16string title;
    std::vector<std::pair<std::u16string, uint64_t>> properties;
};

std::vector<uint8_t> encode_record(const WindowRecord& record);
// nullopt for anything malformed: records are other processes' files.
std::optional<WindowRecord> decode_record(const uint8_t* data, size_t size);

// kScreenshot writes the window to the PNG file named by the packet's text.
enum class Request : uint32_t { kPost = 1, kActivate = 2, kRestore = 3, kScreenshot = 4 };

struct Packet {
    Request request = Request::kPost;
    uint64_t handle = 0;
    uint32_t message = 0;
    uint64_t wparam = 0;
    int64_t lparam = 0;
    // A string message parameter (WM_SETTINGCHANGE's section name): the
    // receiver passes a pointer to it as lParam.
    bool has_text = false;
    std::u16string text;
};

// The longest packet: its fixed part and the longest text.
inline constexpr size_t kMaxPacketSize = 40 + 2 * 1024;

std::vector<uint8_t> encode_packet(const Packet& packet);
std::optional<Packet> decode_packet(const uint8_t* data, size_t size);

// The folder, created on demand.
std::string directory();

// Writes (atomically) or removes this process's record of a window.
bool publish(const WindowRecord& record);
void withdraw(uint64_t handle);
// Every live process's records; records of processes that are gone are
// removed on the way.
std::vector<WindowRecord> list();

// Sends a request to the process owning a window; false when it is gone.
bool send(uint32_t pid, const Packet& packet);
// Posts to every listed top-level window (of every process, this one too).
int broadcast(uint32_t message, uint64_t wparam, const std::u16string& text);

// This process's socket, bound on first call (non-blocking); -1 on failure.
int listener();
// Reads one waiting packet from the listener; nullopt when none or bad.
std::optional<Packet> receive(int fd);

}  // namespace qor::windir
