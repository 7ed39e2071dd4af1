// The printer as a whole: receive buffer, real-time requests, the command
// parser and print mechanism, conditions and status back, the setting
// bytes and their state file, the presenter and the engine's timing.
// Single-threaded: the transport loop drives it with the current time.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "charset.h"
#include "fonts.h"
#include "parser.h"
#include "printer.h"
#include "settings.h"
#include "status.h"

namespace qoremu {

using Clock = std::chrono::steady_clock;

struct DeviceOptions {
    Model model = Model::D510x;
    std::string state_path;   // empty: settings are not kept
    std::string tickets_dir;  // empty: tickets are counted, not written
    size_t receive_buffer = 8192;
    int reset_ms = 300;
    int print_speed = 0;  // mm/s, 0 = no limit
    uint32_t conditions = 0;
    // Rendered glyphs are cached here; shared only by devices on one thread.
    std::shared_ptr<Fonts> fonts;
};

class Device : public CommandSink, public TicketSink {
public:
    explicit Device(const DeviceOptions& options);

    // ---- the line --------------------------------------------------------
    // Bytes the receive buffer can take now.
    size_t room(Clock::time_point now) const;
    // Takes `size` <= room() bytes off the line, answering real-time
    // requests among them at once.
    void accept(const uint8_t* data, size_t size, Clock::time_point now);
    bool clear_to_send(Clock::time_point now) const;
    // Executes what the printer may execute by `now`.
    void run(Clock::time_point now);
    // When run() has something to do next without new input.
    Clock::time_point next_wake(Clock::time_point now) const;
    // Bytes for the host, oldest first.
    std::vector<uint8_t> take_output();
    bool has_output() const { return !output_.empty(); }

    // ---- out of band -----------------------------------------------------
    std::string device_id() const;
    // Executes everything received, then tears off the paper printed.
    void finish(Clock::time_point now);
    void break_on();
    void break_off(Clock::time_point now);

    // ---- control ---------------------------------------------------------
    void raise(uint32_t conditions, Clock::time_point now);
    void clear(uint32_t conditions, Clock::time_point now);
    void take_ticket(Clock::time_point now);
    void set_silent(bool silent) { silent_ = silent; }
    void inject(const std::vector<uint8_t>& bytes);
    void set_print_speed(int mm_per_second) { print_speed_ = mm_per_second; }
    void count_connection() { ++connections_; }
    void count_tx(size_t bytes) { tx_bytes_ += bytes; }
    StatusSnapshot snapshot(Clock::time_point now) const;
    const Settings& settings() const { return settings_; }
    std::vector<std::string> stats() const;
    const std::vector<std::string>& tickets() const { return ticket_paths_; }
    std::vector<std::string> status_lines(Clock::time_point now) const;

    // CommandSink: device commands are handled here, the rest on paper.
    void command(const Command& command) override;
    void character(uint16_t code, CharKind kind) override { printer_.character(code, kind); }
    void raster_begin(const RasterHeader& header) override { printer_.raster_begin(header); }
    void raster_data(const uint8_t* data, size_t size) override { printer_.raster_data(data, size); }

    // TicketSink
    void ticket(Ticket&& ticket) override;

private:
    bool stopped() const { return conditions_ & kStopsPrinting; }
    void emit(const uint8_t* bytes, size_t size);
    void realtime(uint8_t byte, Clock::time_point now);  // DLE EOT n, DC2 q 0
    void watch_for_resync(uint8_t byte);
    // Stream offset of the next byte to execute.
    uint64_t executed() const { return rx_bytes_ - (rx_.size() - rx_head_); }
    // At a resynchronisation mark: ends what the stream left unfinished.
    bool resynchronise_at_mark();
    // Stream offset up to which the parser may go now.
    uint64_t executable_until(Clock::time_point now) const;
    void report_status(Clock::time_point now);
    void send_status_back(const StatusSnapshot& status);
    void hardware_reset(Clock::time_point now);
    void save_settings();
    void compact();

    DeviceOptions options_;
    Settings settings_;
    std::shared_ptr<Fonts> fonts_;
    Charset charset_;
    Printer printer_;
    Parser parser_;

    std::vector<uint8_t> rx_;
    size_t rx_head_ = 0;
    std::vector<uint8_t> output_;
    int realtime_state_ = 0;
    size_t resync_matched_ = 0;
    std::deque<uint64_t> resync_marks_;  // stream offsets where a DLE DC4 9 begins
    Clock::time_point last_arrival_{};

    uint32_t conditions_ = 0;
    bool silent_ = false;
    bool break_ = false;
    uint8_t status_mask_ = 0;
    StatusSnapshot reported_;
    int print_speed_ = 0;
    Clock::time_point now_{};
    Clock::time_point busy_until_{};
    Clock::duration paused_{};
    Clock::time_point reset_until_{};

    bool presenting_ = false;
    Clock::time_point collect_by_ = Clock::time_point::max();
    unsigned next_ticket_ = 1;
    std::vector<std::string> ticket_paths_;

    std::string identification_;
    uint8_t vendor_3d_ = 0, vendor_4f_ = 0, quality_density_ = 0;
    uint64_t rx_bytes_ = 0, tx_bytes_ = 0, realtime_requests_ = 0, status_backs_ = 0, resets_ = 0;
    uint64_t presented_ = 0, taken_ = 0, retracted_ = 0, connections_ = 0, write_errors_ = 0, resyncs_ = 0;
};

}  // namespace qoremu
