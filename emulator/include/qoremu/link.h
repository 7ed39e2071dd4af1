// Client side of the emulator's socket transport: what a port monitor uses
// to talk to qoremu as if it were a cable to a printer. Thread-safe: reads,
// writes and line queries may come from different threads; each call holds
// the connection only briefly. Frames in docs/printer-protocol.md, section 6.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "qoremu/frame.h"

namespace qoremu {

// $QOR_RUNTIME_DIR/qoremu/<name>.sock and .ctl.
std::string default_socket_path(const std::string& name = "zemd");
std::string default_control_path(const std::string& name = "zemd");

class Link {
public:
    Link() = default;
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Connects and waits for the printer's HELLO. False (see error()) when
    // the socket is missing, the printer refuses (busy) or does not greet.
    bool connect(const std::string& path, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    void close();
    bool connected() const;

    // Sends as many of `size` bytes as the printer accepts within `timeout`
    // (it accepts as it has room, like a handshaking line). Returns the
    // number accepted, or -1 when the connection is broken.
    long send(const void* data, size_t size, std::chrono::milliseconds timeout);
    // Waits until every byte sent so far has left the line for the printer's
    // receive buffer: what tcdrain is to a serial line. False on time-out or
    // a broken connection (then connected() is false).
    bool drain(std::chrono::milliseconds timeout);
    // Waits up to `timeout` for the printer's first byte, then returns what
    // has arrived (at most `size`). 0 on time-out, -1 when broken.
    long receive(void* buffer, size_t size, std::chrono::milliseconds timeout);

    // Out-of-band queries; false on time-out or a broken connection.
    // The device ID comes with its 2-byte big-endian length in front.
    bool device_id(std::string* raw, std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool modem_status(uint32_t* status, std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool break_on(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool break_off(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool ieee1284_mode(uint16_t* read_mask, uint16_t* write_mask,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool ieee1284_negotiate(uint16_t read_mask, uint16_t write_mask, uint16_t* got_read, uint16_t* got_write,
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    // Reason of the last failure in this thread's calls.
    std::string error() const;

private:
    using Clock = std::chrono::steady_clock;
    bool request(uint8_t type, const std::vector<uint8_t>& payload, std::vector<uint8_t>* reply,
                 std::chrono::milliseconds timeout);
    // Reads what the socket has (waiting up to `wait`) and files the frames.
    // Called with mutex_ held. False when the connection broke.
    bool pump(std::chrono::milliseconds wait);
    bool flush_pending(Clock::time_point deadline);
    void fail(const std::string& why);
    void drop();
    // Takes mutex_ for a thread that waits for replies or data; a sender
    // waiting for credit steps aside while such threads queue for it.
    std::unique_lock<std::mutex> lock_for_reading();
    void let_readers_in();

    mutable std::mutex mutex_;
    std::atomic<int> readers_waiting_{0};
    int fd_ = -1;
    FrameDecoder decoder_;
    std::deque<uint8_t> received_;
    std::vector<Frame> replies_;
    std::vector<uint8_t> unsent_;  // tail of a frame begun but not yet written
    uint64_t credit_ = 0;
    uint16_t next_tag_ = 1;
    std::string error_;
};

}  // namespace qoremu
