#include "device.h"

#include <algorithm>
#include <cstdio>

#include "png_writer.h"
#include "qoremu/control_client.h"

namespace qoremu {

namespace {

constexpr uint8_t DLE = 0x10, EOT = 0x04, DC2 = 0x12;
// DLE DC4 9 "QORSYNC": resynchronise. Its first byte occurs nowhere else in
// it, so a mismatch restarts the match at that byte.
constexpr uint8_t kResync[] = {DLE, 0x14, 0x09, 'Q', 'O', 'R', 'S', 'Y', 'N', 'C'};
// The start of such a sequence at the end of what has arrived waits this
// long for the rest before it is taken as data.
constexpr auto kResyncHold = std::chrono::milliseconds(50);

std::string hex(const uint8_t* bytes, size_t size) {
    std::string out;
    char buffer[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(buffer, sizeof(buffer), i ? " %02x" : "%02x", bytes[i]);
        out += buffer;
    }
    return out;
}

unsigned number_of(const std::string& path) {
    size_t dash = path.rfind("ticket-");
    return dash == std::string::npos ? 0 : unsigned(std::strtoul(path.c_str() + dash + 7, nullptr, 10));
}

}  // namespace

Device::Device(const DeviceOptions& options)
    : options_(options),
      settings_(factory_settings(options.model)),
      fonts_(options.fonts ? options.fonts : std::make_shared<Fonts>()),
      printer_(fonts_.get(), &charset_, &settings_.bytes, this),
      parser_(this),
      conditions_(options.conditions & kAllConditions),
      print_speed_(options.print_speed) {
    if (!options_.state_path.empty()) {
        Settings stored;
        if (load_state(options_.state_path, &stored)) settings_ = stored;
    }
    if (!options_.tickets_dir.empty()) {
        auto existing = list_tickets(options_.tickets_dir);
        if (!existing.empty()) next_ticket_ = number_of(existing.back()) + 1;
    }
    options_.receive_buffer = std::max<size_t>(options_.receive_buffer, 256);
    rx_.reserve(options_.receive_buffer);
}

// ---- the line ---------------------------------------------------------------

size_t Device::room(Clock::time_point now) const {
    if (break_ || now < reset_until_) return 0;
    return options_.receive_buffer - (rx_.size() - rx_head_);
}

bool Device::clear_to_send(Clock::time_point now) const {
    if (room(now) == 0) return false;
    return !(busy_when_offline(settings_.bytes) && stopped());
}

void Device::accept(const uint8_t* data, size_t size, Clock::time_point now) {
    size = std::min(size, room(now));
    compact();
    if (size) last_arrival_ = now;
    rx_.insert(rx_.end(), data, data + size);
    for (size_t i = 0; i < size; ++i) {
        ++rx_bytes_;
        realtime(data[i], now);
        watch_for_resync(data[i]);
    }
}

// A resynchronisation is recognised as it arrives, wherever it stands, and
// takes effect when execution reaches it: nothing before it is lost.
void Device::watch_for_resync(uint8_t byte) {
    if (byte == kResync[resync_matched_]) {
        if (++resync_matched_ == sizeof kResync) {
            resync_marks_.push_back(rx_bytes_ - sizeof kResync);
            resync_matched_ = 0;
        }
        return;
    }
    resync_matched_ = byte == kResync[0] ? 1 : 0;
}

bool Device::resynchronise_at_mark() {
    if (resync_marks_.empty() || executed() < resync_marks_.front()) return false;
    if (executed() == resync_marks_.front()) {
        parser_.abandon(false);
        rx_head_ += sizeof kResync;  // the whole mark is in the buffer: it was matched on arrival
        ++resyncs_;
    }
    // Else its start was taken as data while the rest was late: it is data.
    resync_marks_.pop_front();
    return true;
}

uint64_t Device::executable_until(Clock::time_point now) const {
    uint64_t until = rx_bytes_;
    // The parser never sees past a mark, so a command cut short by it
    // cannot swallow the mark or what follows.
    if (!resync_marks_.empty()) until = std::min(until, resync_marks_.front());
    if (resync_matched_ && now - last_arrival_ < kResyncHold) until = std::min(until, rx_bytes_ - resync_matched_);
    return until;
}

// DLE EOT n and the error recovery DC2 q 0 act when they arrive, wherever
// they stand in the stream: an error that stops the printer must not stop
// the request that clears it.
void Device::realtime(uint8_t byte, Clock::time_point now) {
    int state = realtime_state_;
    realtime_state_ = byte == DLE ? 1 : byte == DC2 ? 3 : 0;
    if (state == 1 && byte == EOT) {
        realtime_state_ = 2;
    } else if (state == 2 && byte >= 1 && byte <= 4) {
        ++realtime_requests_;
        uint8_t reply = realtime_status(snapshot(now), byte);
        emit(&reply, 1);
    } else if (state == 3 && byte == 0x71) {
        realtime_state_ = 4;
    } else if (state == 4 && byte == 0x00) {
        clear(kCutterError | kAutoRecoveryError, now);
    }
}

void Device::compact() {
    if (rx_head_ == 0) return;
    rx_.erase(rx_.begin(), rx_.begin() + long(rx_head_));
    rx_head_ = 0;
}

void Device::run(Clock::time_point now) {
    now_ = now;
    if (presenting_ && now >= collect_by_) {
        presenting_ = false;
        collect_by_ = Clock::time_point::max();
        ++retracted_;
    }
    while (now >= reset_until_ && !stopped() && now >= busy_until_ && rx_head_ < rx_.size()) {
        if (resynchronise_at_mark()) continue;
        const uint8_t* data = rx_.data() + rx_head_;
        const uint64_t until = executable_until(now);
        if (until <= executed()) break;  // the start of a resynchronisation still arriving
        size_t size = size_t(until - executed());
        const bool before_mark = !resync_marks_.empty() && until == resync_marks_.front();
        size_t used = parser_.step(data, size);
        if (used == 0) {
            if (before_mark) {
                parser_.abandon(true);
                used = size;
            } else if (size < 128) {
                break;  // a command still arriving
            } else {
                used = 1;  // cannot happen: no command is this long
            }
        }
        rx_head_ += used;
        int rows = printer_.take_rows_moved();
        if (rows > 0 && print_speed_ > 0) {
            auto time = std::chrono::nanoseconds(int64_t(rows) * 1000000000 / (int64_t(print_speed_) * 8));
            busy_until_ = std::max(busy_until_, now) + time;
        }
        now_ = now;
    }
    if (rx_head_ == rx_.size()) {
        rx_.clear();
        rx_head_ = 0;
    }
    report_status(now);
}

Clock::time_point Device::next_wake(Clock::time_point now) const {
    Clock::time_point wake = Clock::time_point::max();
    if (presenting_) wake = std::min(wake, collect_by_);
    if (reset_until_ > now) wake = std::min(wake, reset_until_);
    if (busy_until_ > now && !stopped()) wake = std::min(wake, busy_until_);
    if (resync_matched_ && now - last_arrival_ < kResyncHold) wake = std::min(wake, last_arrival_ + kResyncHold);
    return wake;
}

std::vector<uint8_t> Device::take_output() {
    std::vector<uint8_t> out;
    out.swap(output_);
    return out;
}

void Device::emit(const uint8_t* bytes, size_t size) {
    if (silent_) return;
    output_.insert(output_.end(), bytes, bytes + size);
}

void Device::inject(const std::vector<uint8_t>& bytes) { output_.insert(output_.end(), bytes.begin(), bytes.end()); }

// ---- status -------------------------------------------------------------------

StatusSnapshot Device::snapshot(Clock::time_point now) const {
    StatusSnapshot s;
    s.conditions = conditions_;
    // A ticket is being printed: paper moving, or more data for it waiting.
    s.printing = !stopped() && (busy_until_ > now || (printer_.ticket_in_progress() && rx_head_ < rx_.size()));
    s.presenting = presenting_;
    return s;
}

void Device::send_status_back(const StatusSnapshot& status) {
    auto bytes = status_back(status);
    ++status_backs_;
    emit(bytes.data(), bytes.size());
    reported_ = status;
}

void Device::report_status(Clock::time_point now) {
    StatusSnapshot current = snapshot(now);
    if (status_mask_ && status_back_changed(reported_, current, status_mask_)) send_status_back(current);
    else if (!status_mask_) reported_ = current;
}

void Device::raise(uint32_t conditions, Clock::time_point now) {
    bool was_stopped = stopped();
    conditions_ |= conditions & kAllConditions;
    if (!was_stopped && stopped() && busy_until_ > now) {
        // The paper stops where it is; the rest of the movement waits.
        paused_ = busy_until_ - now;
        busy_until_ = now;
    }
    report_status(now);
}

void Device::clear(uint32_t conditions, Clock::time_point now) {
    bool was_stopped = stopped();
    conditions_ &= ~conditions;
    if (was_stopped && !stopped()) {
        busy_until_ = now + paused_;
        paused_ = {};
    }
    report_status(now);
}

void Device::take_ticket(Clock::time_point now) {
    if (presenting_) {
        presenting_ = false;
        collect_by_ = Clock::time_point::max();
        ++taken_;
    }
    report_status(now);
}

std::vector<std::string> Device::status_lines(Clock::time_point now) const {
    std::vector<std::string> lines;
    std::string present;
    for (uint32_t bit = 1; bit <= kFatalError; bit <<= 1)
        if (conditions_ & bit) present += std::string(present.empty() ? "" : " ") + condition_name(bit);
    lines.push_back("conditions " + (present.empty() ? std::string("none") : present));
    StatusSnapshot s = snapshot(now);
    for (int n = 1; n <= 4; ++n) {
        uint8_t b = realtime_status(s, n);
        lines.push_back("dle-eot-" + std::to_string(n) + " " + hex(&b, 1));
    }
    auto back = status_back(s);
    lines.push_back("status-back " + hex(back.data(), back.size()));
    lines.push_back(std::string("printing ") + (s.printing ? "yes" : "no"));
    lines.push_back(std::string("presenter ") + (s.presenting ? "holding" : "empty"));
    return lines;
}

std::vector<std::string> Device::stats() const {
    const auto& p = parser_.counters();
    const auto& c = printer_.counters();
    std::vector<std::string> lines = {
        "rx-bytes " + std::to_string(rx_bytes_),
        "tx-bytes " + std::to_string(tx_bytes_),
        "commands " + std::to_string(p.commands),
        "unknown " + std::to_string(p.unknown),
        "malformed " + std::to_string(p.malformed),
        "characters " + std::to_string(p.characters),
        "raster-rows " + std::to_string(c.raster_rows),
        "tickets " + std::to_string(c.tickets),
        "cuts-ignored " + std::to_string(c.cuts_ignored),
        "presented " + std::to_string(presented_),
        "taken " + std::to_string(taken_),
        "retracted " + std::to_string(retracted_),
        "connections " + std::to_string(connections_),
        "realtime-requests " + std::to_string(realtime_requests_),
        "status-backs " + std::to_string(status_backs_),
        "resets " + std::to_string(resets_),
        "write-errors " + std::to_string(write_errors_),
        "resyncs " + std::to_string(resyncs_),
        "identification " + identification_,
        "vendor-settings " + hex(&vendor_3d_, 1) + " " + hex(&vendor_4f_, 1),
        "quality-density " + hex(&quality_density_, 1),
    };
    return lines;
}

// ---- out of band ----------------------------------------------------------------

std::string Device::device_id() const { return qoremu::device_id(settings_.model); }

void Device::finish(Clock::time_point now) {
    print_speed_ = 0;
    busy_until_ = {};
    clear(kAllConditions, now);
    reset_until_ = {};
    run(now);
    printer_.tear_off();
}

void Device::break_on() { break_ = true; }

void Device::break_off(Clock::time_point now) {
    if (!break_) return;
    break_ = false;
    if (io_reset_enabled(settings_.bytes)) hardware_reset(now);
}

// ---- commands -------------------------------------------------------------------

void Device::hardware_reset(Clock::time_point now) {
    ++resets_;
    printer_.initialise();
    parser_.reset_modes();
    status_mask_ = 0;
    conditions_ &= ~uint32_t(kCutterError | kAutoRecoveryError | kFatalError);
    reset_until_ = now + std::chrono::milliseconds(options_.reset_ms);
    reported_ = snapshot(now);
}

void Device::save_settings() {
    if (options_.state_path.empty()) return;
    std::string error;
    if (!save_state(options_.state_path, settings_, &error)) {
        ++write_errors_;
        std::fprintf(stderr, "qoremu: cannot keep the settings: %s\n", error.c_str());
    }
}

void Device::command(const Command& c) {
    const uint8_t n = c.arg[0];
    switch (c.op) {
    case Op::StatusBack:
        status_mask_ = n & 0x1E;
        if (status_mask_) send_status_back(snapshot(now_));
        break;
    case Op::ReadSettings: {
        auto reply = setting_read_reply(settings_.bytes);
        emit(reply.data(), reply.size());
        break;
    }
    case Op::WriteSettings:
        std::copy_n(c.arg.begin(), 4, settings_.bytes.begin());
        save_settings();
        break;
    case Op::CollectionTime:
        settings_.collection_time = n;
        save_settings();
        break;
    case Op::HardwareReset: hardware_reset(now_); break;
    case Op::TestPrint: {
        std::vector<std::string> lines = {std::string("QOR ") + model_name(settings_.model), "TEST PRINT", ""};
        char bytes[40];
        std::snprintf(bytes, sizeof(bytes), "Settings: %02X %02X %02X %02X", settings_.bytes[0], settings_.bytes[1],
                      settings_.bytes[2], settings_.bytes[3]);
        lines.push_back(bytes);
        for (auto& line : describe_settings(settings_.bytes)) lines.push_back(line);
        lines.push_back("Collection time: " + std::to_string(settings_.collection_time));
        printer_.print_listing(lines);
        break;
    }
    case Op::Identification: identification_ = c.text; break;
    case Op::VendorSetting3D: vendor_3d_ = n; break;
    case Op::VendorSetting4F: vendor_4f_ = n; break;
    case Op::QualityDensity: quality_density_ = n; break;
    default: printer_.command(c); break;
    }
}

void Device::ticket(Ticket&& t) {
    if (!options_.tickets_dir.empty()) {
        char name[32];
        std::snprintf(name, sizeof(name), "/ticket-%04u.png", next_ticket_++);
        std::string path = options_.tickets_dir + name;
        t.paper.ensure_height(t.height);
        std::string error;
        if (write_png(path, t.paper, &error)) {
            ticket_paths_.push_back(path);
        } else {
            ++write_errors_;
            std::fprintf(stderr, "qoremu: ticket lost: %s\n", error.c_str());
        }
    }
    if (presenter_enabled(settings_.bytes)) {
        if (presenting_) ++retracted_;
        presenting_ = true;
        ++presented_;
        collect_by_ = settings_.collection_time >= 10
                          ? now_ + std::chrono::milliseconds(100 * settings_.collection_time)
                          : Clock::time_point::max();
    }
}

}  // namespace qoremu
