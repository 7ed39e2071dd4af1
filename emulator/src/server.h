// The emulator's event loop: one thread serving the data socket (framed),
// the pseudo-terminal, the control socket and the printer's own timers,
// with the line throttled to a chosen speed in both directions.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control.h"
#include "device.h"
#include "pty.h"
#include "qoremu/emulator.h"
#include "qoremu/frame.h"

namespace qoremu {

class Server : public ControlTarget {
public:
    static std::unique_ptr<Server> create(const EmulatorOptions& options, std::string* error);
    ~Server() override;

    // Serves until stop() or a control "quit".
    void run();
    // Safe from any thread and from a signal handler.
    void stop();

    const std::string& socket_path() const { return socket_path_; }
    const std::string& control_path() const { return control_path_; }
    const std::string& tickets_dir() const { return tickets_dir_; }
    std::string pty_path() const;

    // ControlTarget
    void raise_conditions(uint32_t conditions) override;
    void clear_conditions(uint32_t conditions) override;
    void take_ticket() override;
    void set_silent(bool silent) override;
    void send_garbage(const std::vector<uint8_t>& bytes) override;
    void disconnect(int milliseconds) override;
    void set_line_speed(int bps) override;
    void set_print_speed(int mm_per_second) override;
    std::vector<std::string> stats() override;
    std::vector<std::string> tickets() override;
    std::vector<std::string> settings() override;
    std::vector<std::string> status() override;
    void quit() override;

private:
    struct ControlClient {
        int fd;
        std::string in;
        std::string out;
    };

    explicit Server(const EmulatorOptions& options, const DeviceOptions& device);
    bool listen_on(const std::string& path, int* fd, std::string* error);
    void accept_host();
    void read_host();
    void handle_frame(const Frame& frame);
    void send_frame(uint8_t type, uint16_t tag, const void* payload, size_t size);
    void grant_credit();
    void answer_drains();
    void drop_host();
    void write_host();
    bool open_pty(std::string* error);
    void close_pty();
    void read_pty();
    void write_pty();
    void accept_control();
    void serve_control(ControlClient& client);
    void move_line_in(Clock::time_point now);
    // Moves the line into the printer and runs it until neither goes on.
    void feed_printer(Clock::time_point now);
    void move_line_out(Clock::time_point now);
    int poll_timeout(Clock::time_point now) const;
    Clock::duration byte_time(size_t bytes) const;
    size_t bytes_due(Clock::time_point* ready_at, Clock::time_point now) const;

    EmulatorOptions options_;
    Device device_;
    std::string socket_path_, control_path_, tickets_dir_;
    int listen_fd_ = -1;
    int control_fd_ = -1;
    int wake_fd_ = -1;
    std::atomic<bool> stopping_{false};

    // The host on the data socket
    int host_fd_ = -1;
    FrameDecoder decoder_;
    std::vector<uint8_t> host_out_;
    bool host_deaf_ = false;  // it closed its end: read what it sent, send nothing
    size_t credit_out_ = 0;   // bytes the host may still send
    struct PendingDrain {
        uint16_t tag;
        uint64_t until;  // answered once line_taken_ reaches this
    };
    std::vector<PendingDrain> drains_;
    Clock::time_point refuse_until_{};

    PseudoTerminal pty_;
    mutable std::mutex pty_path_mutex_;
    std::string pty_path_;  // copy for other threads
    Clock::time_point pty_back_at_ = Clock::time_point::max();

    // The line: bytes on the wire each way, moved at the line speed.
    std::vector<uint8_t> line_in_;
    uint64_t line_taken_ = 0;  // bytes moved from line_in_ into the printer
    std::vector<uint8_t> line_out_;
    std::vector<uint8_t> pty_out_;
    int bps_ = 0;
    Clock::time_point in_ready_at_{};
    Clock::time_point out_ready_at_{};

    std::vector<ControlClient> control_clients_;
};

}  // namespace qoremu
