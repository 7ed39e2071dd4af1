#include "server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "qor/support/places.h"
#include "qoremu/control_client.h"
#include "qoremu/link.h"

namespace qoremu {

namespace {

constexpr size_t kWindow = 4096;          // bytes on the line towards the printer
constexpr size_t kMaxHostBacklog = 1 << 20;  // a host this far behind is not reading
constexpr size_t kMaxPtyBacklog = 1 << 16;
constexpr uint16_t kOfferedReadModes = 0x0004;   // nibble
constexpr uint16_t kOfferedWriteModes = 0x0001;  // compatibility
constexpr uint32_t kCts = 0x10, kDsr = 0x20;

std::string parent_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string(".") : path.substr(0, slash);
}

void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

bool make_sockaddr(const std::string& path, sockaddr_un* address) {
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address->sun_path)) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::unique_ptr<Server> Server::create(const EmulatorOptions& options, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return nullptr;
    };
    Model model;
    if (!parse_model(options.model, &model)) return fail("unknown model '" + options.model + "' (D510x or D610x)");
    if (options.name.empty() || options.name.find('/') != std::string::npos)
        return fail("the name must be a plain word");
    DeviceOptions device;
    device.model = model;
    device.tickets_dir = options.tickets_dir.empty() ? default_tickets_dir() : options.tickets_dir;
    device.state_path =
        options.state_path.empty() ? qor::places::root() + "/qoremu/" + options.name + ".state" : options.state_path;
    if (device.state_path == "none") device.state_path.clear();
    device.receive_buffer = options.receive_buffer;
    device.reset_ms = options.reset_ms;
    device.print_speed = options.print_speed;
    for (const auto& name : options.conditions) {
        uint32_t condition;
        if (!parse_condition(name, &condition) || condition == kAllConditions)
            return fail("unknown condition '" + name + "'");
        device.conditions |= condition;
    }
    if (!qor::places::ensure_dir(device.tickets_dir)) return fail("cannot make " + device.tickets_dir);
    if (!device.state_path.empty() && !qor::places::ensure_dir(parent_of(device.state_path)))
        return fail("cannot make the folder of " + device.state_path);

    std::unique_ptr<Server> server(new Server(options, device));
    server->tickets_dir_ = device.tickets_dir;
    server->wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (server->wake_fd_ < 0) return fail(std::string("eventfd: ") + std::strerror(errno));
    std::string why;
    if (options.socket) {
        server->socket_path_ = options.socket_path.empty() ? default_socket_path(options.name) : options.socket_path;
        if (!server->listen_on(server->socket_path_, &server->listen_fd_, &why)) return fail(why);
    }
    server->control_path_ = options.control_path.empty() ? default_control_path(options.name) : options.control_path;
    if (!server->listen_on(server->control_path_, &server->control_fd_, &why)) return fail(why);
    if (options.pty && !server->open_pty(&why)) return fail(why);
    server->bps_ = options.baud;
    server->device_.set_silent(options.silent);
    return server;
}

Server::Server(const EmulatorOptions& options, const DeviceOptions& device) : options_(options), device_(device) {}

Server::~Server() {
    drop_host();
    for (auto& c : control_clients_) ::close(c.fd);
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        ::unlink(socket_path_.c_str());
    }
    if (control_fd_ >= 0) {
        ::close(control_fd_);
        ::unlink(control_path_.c_str());
    }
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

bool Server::listen_on(const std::string& path, int* fd, std::string* error) {
    sockaddr_un address;
    if (!make_sockaddr(path, &address)) {
        *error = "socket path too long: " + path;
        return false;
    }
    if (!qor::places::ensure_dir(parent_of(path))) {
        *error = "cannot make the folder of " + path;
        return false;
    }
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        // A socket someone still answers on belongs to a running emulator.
        if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            ::close(s);
            *error = "another emulator is serving " + path;
            return false;
        }
        ::close(s);
        s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (!S_ISSOCK(st.st_mode)) {
            ::close(s);
            *error = path + " exists and is not a socket";
            return false;
        }
        ::unlink(path.c_str());
    }
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(s, 16) != 0) {
        *error = path + ": " + std::strerror(errno);
        ::close(s);
        return false;
    }
    set_nonblocking(s);
    *fd = s;
    return true;
}

std::string Server::pty_path() const {
    std::lock_guard lock(pty_path_mutex_);
    return pty_path_;
}

bool Server::open_pty(std::string* error) {
    bool ok = pty_.open(options_.pty_link, error);
    std::lock_guard lock(pty_path_mutex_);
    pty_path_ = pty_.path();
    return ok;
}

void Server::close_pty() {
    pty_.close();
    std::lock_guard lock(pty_path_mutex_);
    pty_path_.clear();
}

void Server::stop() {
    stopping_ = true;
    uint64_t one = 1;
    ssize_t ignored = ::write(wake_fd_, &one, sizeof(one));
    (void)ignored;
}

// ---- the line -------------------------------------------------------------------

Clock::duration Server::byte_time(size_t bytes) const {
    // Ten bits a byte: start, eight data bits, stop.
    return std::chrono::nanoseconds(int64_t(bytes) * 10 * 1000000000 / bps_);
}

// Bytes whose time on the wire has come since `*ready_at`: a wake-up that
// came late catches up, but a line that stood idle (or was held up by the
// printer) banks no more than a few milliseconds.
size_t Server::bytes_due(Clock::time_point* ready_at, Clock::time_point now) const {
    constexpr auto kMaxCatchUp = std::chrono::milliseconds(20);
    if (now - *ready_at > kMaxCatchUp) *ready_at = now - kMaxCatchUp;
    auto behind = std::chrono::duration_cast<std::chrono::nanoseconds>(now - *ready_at).count();
    size_t slice = std::max<size_t>(1, size_t(bps_) / 5000);  // 2 ms of line
    return slice + size_t(behind * bps_ / 10 / 1000000000);
}

void Server::move_line_in(Clock::time_point now) {
    while (!line_in_.empty() && device_.clear_to_send(now)) {
        size_t n = std::min(line_in_.size(), device_.room(now));
        if (bps_) {
            if (in_ready_at_ > now) break;
            n = std::min(n, bytes_due(&in_ready_at_, now));
            in_ready_at_ += byte_time(n);
        }
        device_.accept(line_in_.data(), n, now);
        line_in_.erase(line_in_.begin(), line_in_.begin() + long(n));
        line_taken_ += n;
    }
    answer_drains();
    grant_credit();
}

void Server::feed_printer(Clock::time_point now) {
    for (;;) {
        const size_t before = line_in_.size();
        move_line_in(now);
        device_.run(now);  // also what the last move brought in
        if (line_in_.empty() || line_in_.size() == before) break;
    }
    move_line_in(now);
}

void Server::answer_drains() {
    auto due = [&](const PendingDrain& d) { return d.until <= line_taken_; };
    for (const auto& d : drains_)
        if (due(d)) send_frame(uint8_t(kFrameDrain | kFrameReplyBit), d.tag, nullptr, 0);
    drains_.erase(std::remove_if(drains_.begin(), drains_.end(), due), drains_.end());
}

void Server::move_line_out(Clock::time_point now) {
    auto out = device_.take_output();
    line_out_.insert(line_out_.end(), out.begin(), out.end());
    if (host_fd_ < 0 && !pty_.is_open()) {
        line_out_.clear();  // nobody on the other end of the cable
        return;
    }
    while (!line_out_.empty()) {
        size_t n = line_out_.size();
        if (bps_) {
            if (out_ready_at_ > now) break;
            n = std::min(n, bytes_due(&out_ready_at_, now));
            out_ready_at_ += byte_time(n);
        }
        for (size_t at = 0; at < n; at += kMaxFramePayload)
            if (host_fd_ >= 0)
                send_frame(kFramePrinterData, 0, line_out_.data() + at, std::min(kMaxFramePayload, n - at));
        if (pty_.is_open()) pty_out_.insert(pty_out_.end(), line_out_.begin(), line_out_.begin() + long(n));
        device_.count_tx(n);
        line_out_.erase(line_out_.begin(), line_out_.begin() + long(n));
    }
    if (pty_out_.size() > kMaxPtyBacklog)
        pty_out_.erase(pty_out_.begin(), pty_out_.begin() + long(pty_out_.size() - kMaxPtyBacklog));
    write_pty();
}

void Server::grant_credit() {
    if (host_fd_ < 0) return;
    size_t used = line_in_.size() + credit_out_;
    if (used >= kWindow) return;
    size_t grant = kWindow - used;
    if (grant < 256 && !line_in_.empty()) return;  // fewer, larger grants
    std::vector<uint8_t> payload;
    put_le32(payload, uint32_t(grant));
    credit_out_ += grant;
    send_frame(kFrameCredit, 0, payload.data(), payload.size());
}

int Server::poll_timeout(Clock::time_point now) const {
    Clock::time_point wake = device_.next_wake(now);
    if (bps_ && !line_in_.empty() && device_.clear_to_send(now)) wake = std::min(wake, in_ready_at_);
    if (bps_ && !line_out_.empty()) wake = std::min(wake, out_ready_at_);
    if (!pty_.is_open() && options_.pty) wake = std::min(wake, pty_back_at_);
    if (wake == Clock::time_point::max()) return 1000;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
    if (wake > now && ms == 0) ms = 1;
    return int(std::clamp<int64_t>(ms, 0, 1000));
}

// ---- the data socket ------------------------------------------------------------

void Server::send_frame(uint8_t type, uint16_t tag, const void* payload, size_t size) {
    if (host_fd_ < 0 || host_deaf_) return;
    encode_frame(host_out_, type, tag, payload, size);
    write_host();
}

void Server::write_host() {
    while (host_fd_ >= 0 && !host_out_.empty()) {
        ssize_t put = ::send(host_fd_, host_out_.data(), host_out_.size(), MSG_NOSIGNAL);
        if (put > 0) {
            host_out_.erase(host_out_.begin(), host_out_.begin() + put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (host_out_.size() > kMaxHostBacklog) drop_host();
            return;
        }
        // The host has closed its end. What it sent before is still in the
        // socket and is read to the end of file before the connection goes.
        host_out_.clear();
        host_deaf_ = true;
        return;
    }
}

void Server::drop_host() {
    if (host_fd_ >= 0) ::close(host_fd_);
    host_fd_ = -1;
    host_out_.clear();
    host_deaf_ = false;
    drains_.clear();
    decoder_ = FrameDecoder();
    credit_out_ = 0;
}

void Server::accept_host() {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (host_fd_ >= 0 || Clock::now() < refuse_until_) {
        std::vector<uint8_t> frame, payload;
        put_le32(payload, kFrameErrorBusy);
        const char* why = host_fd_ >= 0 ? "printer in use" : "printer disconnected";
        payload.insert(payload.end(), why, why + std::strlen(why));
        encode_frame(frame, kFrameError, 0, payload.data(), payload.size());
        ssize_t ignored = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
        (void)ignored;
        ::close(fd);
        return;
    }
    host_fd_ = fd;
    device_.count_connection();
    credit_out_ = line_in_.size() < kWindow ? kWindow - line_in_.size() : 0;
    std::vector<uint8_t> hello;
    put_le32(hello, kProtocolVersion);
    put_le32(hello, uint32_t(credit_out_));
    send_frame(kFrameHello, 0, hello.data(), hello.size());
}

void Server::read_host() {
    uint8_t buffer[16384];
    ssize_t got = ::read(host_fd_, buffer, sizeof(buffer));
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) {
        drop_host();
        return;
    }
    std::vector<Frame> frames;
    bool good = decoder_.feed(buffer, size_t(got), frames);
    for (const auto& frame : frames) {
        if (host_fd_ < 0) return;
        handle_frame(frame);
    }
    if (!good && host_fd_ >= 0) {
        std::vector<uint8_t> payload;
        put_le32(payload, kFrameErrorBadFrame);
        send_frame(kFrameError, 0, payload.data(), payload.size());
        drop_host();
    }
}

void Server::handle_frame(const Frame& frame) {
    auto now = Clock::now();
    std::vector<uint8_t> reply;
    switch (frame.type) {
    case kFrameData:
        if (frame.payload.size() > credit_out_) {
            put_le32(reply, kFrameErrorCredit);
            send_frame(kFrameError, frame.tag, reply.data(), reply.size());
            drop_host();
            return;
        }
        credit_out_ -= frame.payload.size();
        line_in_.insert(line_in_.end(), frame.payload.begin(), frame.payload.end());
        return;
    case kFrameDrain:
        // Frames are handled in order: every data byte sent before this
        // request is on the line now.
        drains_.push_back({frame.tag, line_taken_ + line_in_.size()});
        answer_drains();
        return;
    case kFrameDeviceId: {
        std::string id = device_.device_id();
        reply.assign(id.begin(), id.end());
        break;
    }
    case kFrameModemStatus:
        put_le32(reply, kDsr | (device_.clear_to_send(now) ? kCts : 0));
        break;
    case kFrameBreakOn:
        device_.break_on();
        put_le32(reply, 0);
        break;
    case kFrameBreakOff:
        device_.break_off(now);
        put_le32(reply, 0);
        break;
    case kFrameIeee1284GetMode:
        put_le16(reply, kOfferedReadModes);
        put_le16(reply, kOfferedWriteModes);
        break;
    case kFrameIeee1284Negotiate: {
        if (frame.payload.size() != 4) {
            put_le32(reply, kFrameErrorBadFrame);
            send_frame(kFrameError, frame.tag, reply.data(), reply.size());
            return;
        }
        put_le16(reply, read_le16(frame.payload.data()) & kOfferedReadModes);
        put_le16(reply, read_le16(frame.payload.data() + 2) & kOfferedWriteModes);
        break;
    }
    default:
        put_le32(reply, kFrameErrorBadFrame);
        send_frame(kFrameError, frame.tag, reply.data(), reply.size());
        drop_host();
        return;
    }
    send_frame(uint8_t(frame.type | kFrameReplyBit), frame.tag, reply.data(), reply.size());
}

// ---- the pseudo-terminal -----------------------------------------------------------

void Server::read_pty() {
    if (line_in_.size() >= kWindow) return;
    uint8_t buffer[kWindow];
    ssize_t got = ::read(pty_.master(), buffer, kWindow - line_in_.size());
    if (got > 0) line_in_.insert(line_in_.end(), buffer, buffer + got);
}

void Server::write_pty() {
    while (pty_.is_open() && !pty_out_.empty()) {
        ssize_t put = ::write(pty_.master(), pty_out_.data(), pty_out_.size());
        if (put <= 0) return;
        pty_out_.erase(pty_out_.begin(), pty_out_.begin() + put);
    }
}

// ---- control ----------------------------------------------------------------------

void Server::accept_control() {
    int fd = ::accept4(control_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) control_clients_.push_back({fd, {}, {}});
}

void Server::serve_control(ControlClient& client) {
    char buffer[4096];
    ssize_t got = ::read(client.fd, buffer, sizeof(buffer));
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        ::close(client.fd);
        client.fd = -1;
        return;
    }
    if (got > 0) client.in.append(buffer, size_t(got));
    size_t end;
    while ((end = client.in.find('\n')) != std::string::npos) {
        std::string line = client.in.substr(0, end);
        client.in.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        client.out += execute_control(*this, line);
    }
    if (client.in.size() > 4096) {
        client.out += "error command too long\n";
        client.in.clear();
    }
}

void Server::raise_conditions(uint32_t conditions) { device_.raise(conditions, Clock::now()); }
void Server::clear_conditions(uint32_t conditions) { device_.clear(conditions, Clock::now()); }
void Server::take_ticket() { device_.take_ticket(Clock::now()); }
void Server::set_silent(bool silent) { device_.set_silent(silent); }
void Server::send_garbage(const std::vector<uint8_t>& bytes) { device_.inject(bytes); }
void Server::set_print_speed(int mm_per_second) { device_.set_print_speed(mm_per_second); }
void Server::quit() { stopping_ = true; }

void Server::set_line_speed(int bps) {
    bps_ = bps;
    in_ready_at_ = out_ready_at_ = Clock::now();
}

void Server::disconnect(int milliseconds) {
    auto now = Clock::now();
    drop_host();
    line_in_.clear();
    line_out_.clear();
    pty_out_.clear();
    refuse_until_ = now + std::chrono::milliseconds(milliseconds);
    if (pty_.is_open()) {
        close_pty();
        pty_back_at_ = refuse_until_;
    }
}

std::vector<std::string> Server::stats() { return device_.stats(); }
std::vector<std::string> Server::tickets() { return device_.tickets(); }
std::vector<std::string> Server::status() { return device_.status_lines(Clock::now()); }

std::vector<std::string> Server::settings() {
    const Settings& s = device_.settings();
    char bytes[32];
    std::snprintf(bytes, sizeof(bytes), "setbank %02x %02x %02x %02x", s.bytes[0], s.bytes[1], s.bytes[2],
                  s.bytes[3]);
    return {bytes, "collection-time " + std::to_string(s.collection_time), std::string("model ") + model_name(s.model)};
}

// ---- the loop ---------------------------------------------------------------------

void Server::run() {
    std::vector<pollfd> fds;
    while (!stopping_) {
        auto now = Clock::now();
        if (options_.pty && !pty_.is_open() && now >= pty_back_at_) {
            std::string why;
            if (open_pty(&why)) pty_back_at_ = Clock::time_point::max();
            else std::fprintf(stderr, "qoremu: %s\n", why.c_str());
        }
        feed_printer(now);
        move_line_out(now);

        fds.clear();
        fds.push_back({wake_fd_, POLLIN, 0});
        fds.push_back({control_fd_, POLLIN, 0});
        fds.push_back({listen_fd_, short(listen_fd_ >= 0 ? POLLIN : 0), 0});
        fds.push_back({host_fd_, short(POLLIN | (host_out_.empty() ? 0 : POLLOUT)), 0});
        short pty_events = short((line_in_.size() < kWindow ? POLLIN : 0) | (pty_out_.empty() ? 0 : POLLOUT));
        fds.push_back({pty_.is_open() ? pty_.master() : -1, pty_events, 0});
        for (const auto& c : control_clients_)
            fds.push_back({c.fd, short(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});

        int ready = ::poll(fds.data(), fds.size(), poll_timeout(now));
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "qoremu: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t value;
            ssize_t ignored = ::read(wake_fd_, &value, sizeof(value));
            (void)ignored;
        }
        if (fds[1].revents & POLLIN) accept_control();
        if (fds[2].revents & POLLIN) accept_host();
        if (host_fd_ >= 0 && fds[3].fd == host_fd_) {
            if (fds[3].revents & (POLLIN | POLLHUP | POLLERR)) read_host();
            if (host_fd_ >= 0 && (fds[3].revents & POLLOUT)) write_host();
        }
        if (pty_.is_open() && fds[4].fd == pty_.master()) {
            if (fds[4].revents & POLLIN) read_pty();
            if (fds[4].revents & POLLOUT) write_pty();
        }
        for (size_t i = 0; i < control_clients_.size(); ++i) {
            auto& c = control_clients_[i];
            const pollfd& p = fds[5 + i];
            if (p.fd != c.fd) continue;
            if (p.revents & (POLLIN | POLLHUP | POLLERR)) serve_control(c);
            if (c.fd >= 0 && !c.out.empty()) {
                ssize_t put = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
                if (put > 0) c.out.erase(0, size_t(put));
                else if (put < 0 && errno != EAGAIN && errno != EINTR) {
                    ::close(c.fd);
                    c.fd = -1;
                }
            }
        }
        control_clients_.erase(std::remove_if(control_clients_.begin(), control_clients_.end(),
                                              [](const ControlClient& c) { return c.fd < 0; }),
                               control_clients_.end());
    }
    // Answers still queued (the "ok" of a quit) go out before the end.
    for (auto& c : control_clients_)
        if (!c.out.empty()) {
            ssize_t ignored = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
            (void)ignored;
        }
}

}  // namespace qoremu
