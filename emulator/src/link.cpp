#include "qoremu/link.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "qor/support/places.h"

namespace qoremu {

namespace {

constexpr auto kSlice = std::chrono::milliseconds(5);
constexpr size_t kMaxReplies = 32;

int remaining_ms(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : int(left.count());
}

}  // namespace

std::string default_socket_path(const std::string& name) {
    return qor::places::runtime_dir() + "/qoremu/" + name + ".sock";
}

std::string default_control_path(const std::string& name) {
    return qor::places::runtime_dir() + "/qoremu/" + name + ".ctl";
}

Link::~Link() { close(); }

void Link::fail(const std::string& why) { error_ = why; }

void Link::drop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    decoder_ = FrameDecoder();
    received_.clear();
    replies_.clear();
    unsent_.clear();
    credit_ = 0;
}

void Link::close() {
    std::lock_guard lock(mutex_);
    drop();
}

bool Link::connected() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

std::string Link::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool Link::connect(const std::string& path, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    drop();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        fail("socket path too long: " + path);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail(std::string("socket: ") + std::strerror(errno));
        return false;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        fail("connect " + path + ": " + std::strerror(errno));
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    fd_ = fd;
    auto deadline = Clock::now() + timeout;
    bool greeted = false;
    while (!greeted) {
        if (!pump(kSlice)) return false;
        for (auto it = replies_.begin(); it != replies_.end(); ++it) {
            if (it->type == kFrameError) {
                fail("printer refused the connection: " +
                     std::string(it->payload.begin() + std::min<size_t>(4, it->payload.size()), it->payload.end()));
                drop();
                return false;
            }
            if (it->type == kFrameHello) {
                greeted = true;
                replies_.erase(it);
                break;
            }
        }
        if (!greeted && Clock::now() >= deadline) {
            fail("printer did not greet");
            drop();
            return false;
        }
    }
    return true;
}

bool Link::pump(std::chrono::milliseconds wait) {
    if (fd_ < 0) {
        fail("not connected");
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    int ready = ::poll(&p, 1, int(wait.count()));
    if (ready < 0 && errno != EINTR) {
        fail(std::string("poll: ") + std::strerror(errno));
        drop();
        return false;
    }
    if (ready <= 0) return true;
    uint8_t buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd_, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (got <= 0) {
            fail(got == 0 ? "printer closed the connection" : std::string("read: ") + std::strerror(errno));
            drop();
            return false;
        }
        std::vector<Frame> frames;
        if (!decoder_.feed(buffer, size_t(got), frames)) {
            fail("bad frame from the printer");
            drop();
            return false;
        }
        for (auto& frame : frames) {
            if (frame.type == kFramePrinterData) {
                received_.insert(received_.end(), frame.payload.begin(), frame.payload.end());
            } else if (frame.type == kFrameCredit && frame.payload.size() >= 4) {
                credit_ += read_le32(frame.payload.data());
            } else if (frame.type == kFrameHello && frame.payload.size() >= 8) {
                credit_ = read_le32(frame.payload.data() + 4);
                replies_.push_back(std::move(frame));
            } else {
                replies_.push_back(std::move(frame));
            }
        }
        // Replies whose request timed out are never taken; keep the newest.
        if (replies_.size() > kMaxReplies) replies_.erase(replies_.begin(), replies_.end() - long(kMaxReplies));
        if (size_t(got) < sizeof(buffer)) return true;
    }
}

bool Link::flush_pending(Clock::time_point deadline) {
    while (!unsent_.empty()) {
        ssize_t put = ::send(fd_, unsent_.data(), unsent_.size(), MSG_NOSIGNAL);
        if (put > 0) {
            unsent_.erase(unsent_.begin(), unsent_.begin() + put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int left = remaining_ms(deadline);
            if (left == 0) return false;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, std::min(left, 5));
            continue;
        }
        fail(std::string("write: ") + std::strerror(errno));
        drop();
        return false;
    }
    return true;
}

std::unique_lock<std::mutex> Link::lock_for_reading() {
    readers_waiting_.fetch_add(1);
    std::unique_lock lock(mutex_);
    readers_waiting_.fetch_sub(1);
    return lock;
}

void Link::let_readers_in() {
    // The mutex is not fair: a sender that takes it straight back would
    // starve the polling thread's reads for as long as the printer is busy.
    auto until = Clock::now() + std::chrono::milliseconds(20);
    while (readers_waiting_.load() > 0 && Clock::now() < until) std::this_thread::yield();
}

long Link::send(const void* data, size_t size, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t sent = 0;
    for (;;) {
        std::unique_lock lock(mutex_);
        if (fd_ < 0) {
            fail("not connected");
            return sent ? long(sent) : -1;
        }
        if (!flush_pending(deadline)) return fd_ < 0 && !sent ? -1 : long(sent);
        if (sent == size) return long(sent);
        if (credit_ == 0) {
            if (!pump(std::chrono::milliseconds(std::min(remaining_ms(deadline), 5))))
                return sent ? long(sent) : -1;
            if (credit_ == 0) {
                if (remaining_ms(deadline) == 0) return long(sent);
                lock.unlock();
                let_readers_in();
                continue;
            }
        }
        if (credit_ > 0) {
            size_t n = std::min<size_t>({size - sent, size_t(credit_), kMaxFramePayload});
            encode_frame(unsent_, kFrameData, 0, bytes + sent, n);
            credit_ -= n;
            sent += n;  // committed: the rest of the frame goes out before anything else
            continue;
        }
        if (remaining_ms(deadline) == 0) return long(sent);
    }
}

long Link::receive(void* buffer, size_t size, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    auto* out = static_cast<uint8_t*>(buffer);
    for (;;) {
        auto lock = lock_for_reading();
        if (fd_ < 0 && received_.empty()) {
            fail("not connected");
            return -1;
        }
        if (!received_.empty() || fd_ < 0) {
            size_t n = std::min(size, received_.size());
            std::copy_n(received_.begin(), n, out);
            received_.erase(received_.begin(), received_.begin() + long(n));
            return long(n);
        }
        if (!pump(std::chrono::milliseconds(std::min(remaining_ms(deadline), 5)))) return -1;
        if (received_.empty() && remaining_ms(deadline) == 0) return 0;
    }
}

bool Link::request(uint8_t type, const std::vector<uint8_t>& payload, std::vector<uint8_t>* reply,
                   std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    uint16_t tag;
    {
        std::unique_lock lock(mutex_);
        if (fd_ < 0) {
            fail("not connected");
            return false;
        }
        tag = next_tag_++;
        if (next_tag_ == 0) next_tag_ = 1;
        encode_frame(unsent_, type, tag, payload.data(), payload.size());
        if (!flush_pending(deadline)) {
            if (fd_ >= 0) fail("request not sent in time");
            return false;
        }
    }
    for (;;) {
        auto lock = lock_for_reading();
        for (auto it = replies_.begin(); it != replies_.end(); ++it) {
            if (it->tag != tag) continue;
            if (it->type == (type | kFrameReplyBit)) {
                *reply = std::move(it->payload);
                replies_.erase(it);
                return true;
            }
            if (it->type == kFrameError) {
                fail("printer rejected the request");
                replies_.erase(it);
                return false;
            }
        }
        if (remaining_ms(deadline) == 0) {
            fail("no reply in time");
            return false;
        }
        if (!pump(std::chrono::milliseconds(std::min(remaining_ms(deadline), 5)))) return false;
    }
}

bool Link::drain(std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    return request(kFrameDrain, {}, &reply, timeout);
}

bool Link::device_id(std::string* raw, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    if (!request(kFrameDeviceId, {}, &reply, timeout)) return false;
    raw->assign(reply.begin(), reply.end());
    return true;
}

bool Link::modem_status(uint32_t* status, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    if (!request(kFrameModemStatus, {}, &reply, timeout) || reply.size() < 4) return false;
    *status = read_le32(reply.data());
    return true;
}

bool Link::break_on(std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    return request(kFrameBreakOn, {}, &reply, timeout);
}

bool Link::break_off(std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    return request(kFrameBreakOff, {}, &reply, timeout);
}

bool Link::ieee1284_mode(uint16_t* read_mask, uint16_t* write_mask, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> reply;
    if (!request(kFrameIeee1284GetMode, {}, &reply, timeout) || reply.size() < 4) return false;
    *read_mask = read_le16(reply.data());
    *write_mask = read_le16(reply.data() + 2);
    return true;
}

bool Link::ieee1284_negotiate(uint16_t read_mask, uint16_t write_mask, uint16_t* got_read, uint16_t* got_write,
                              std::chrono::milliseconds timeout) {
    std::vector<uint8_t> payload, reply;
    put_le16(payload, read_mask);
    put_le16(payload, write_mask);
    if (!request(kFrameIeee1284Negotiate, payload, &reply, timeout) || reply.size() < 4) return false;
    *got_read = read_le16(reply.data());
    *got_write = read_le16(reply.data() + 2);
    return true;
}

}  // namespace qoremu
