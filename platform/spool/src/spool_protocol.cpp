#include "qor/spool/protocol.h"

#include "qor/support/places.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace qor::spool {

// The installation's places look for the spooler by this name too.
static_assert(std::string_view(kSocketName) == places::kSpoolerSocketName);

HeaderCheck check_header(const FrameHeader& header) {
    if (header.magic != kFrameMagic) return HeaderCheck::BadMagic;
    if (header.op >= static_cast<uint32_t>(Op::Count)) return HeaderCheck::BadOp;
    if (header.length > kMaxPayload) return HeaderCheck::TooLarge;
    return HeaderCheck::Ok;
}

void Writer::raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
}

Writer& Writer::u32(uint32_t value) {
    out_.push_back(static_cast<uint8_t>(Tag::U32));
    raw(&value, sizeof value);
    return *this;
}

Writer& Writer::u64(uint64_t value) {
    out_.push_back(static_cast<uint8_t>(Tag::U64));
    raw(&value, sizeof value);
    return *this;
}

Writer& Writer::str(std::string_view value) {
    // Longer than kMaxString is sent as is; the reader refuses it.
    uint32_t n = static_cast<uint32_t>(value.size());
    out_.push_back(static_cast<uint8_t>(Tag::Str));
    raw(&n, sizeof n);
    raw(value.data(), value.size());
    return *this;
}

Writer& Writer::bytes(const void* data, size_t size) {
    uint32_t n = static_cast<uint32_t>(size);
    out_.push_back(static_cast<uint8_t>(Tag::Bytes));
    raw(&n, sizeof n);
    if (size) raw(data, size);
    return *this;
}

bool Reader::take(void* out, size_t size) {
    if (!ok_ || size > size_ - pos_) {
        ok_ = false;
        return false;
    }
    std::memcpy(out, data_ + pos_, size);
    pos_ += size;
    return true;
}

bool Reader::take_tag(Tag tag) {
    uint8_t t = 0;
    if (!take(&t, 1)) return false;
    if (t != static_cast<uint8_t>(tag)) ok_ = false;
    return ok_;
}

uint32_t Reader::u32() {
    uint32_t v = 0;
    if (!take_tag(Tag::U32) || !take(&v, sizeof v)) return 0;
    return v;
}

uint64_t Reader::u64() {
    uint64_t v = 0;
    if (!take_tag(Tag::U64) || !take(&v, sizeof v)) return 0;
    return v;
}

std::string Reader::str() {
    uint32_t n = 0;
    if (!take_tag(Tag::Str) || !take(&n, sizeof n)) return {};
    if (n > kMaxString || n > size_ - pos_) {
        ok_ = false;
        return {};
    }
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    if (s.find('\0') != std::string::npos) {
        ok_ = false;
        return {};
    }
    pos_ += n;
    return s;
}

std::vector<uint8_t> Reader::bytes(uint32_t limit) {
    uint32_t n = 0;
    if (!take_tag(Tag::Bytes) || !take(&n, sizeof n)) return {};
    if (n > limit || n > size_ - pos_) {
        ok_ = false;
        return {};
    }
    std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return v;
}

namespace {

bool send_all(int fd, const uint8_t* data, size_t size, int pass_fd) {
    while (size > 0) {
        iovec iov{const_cast<uint8_t*>(data), size};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (pass_fd >= 0) {
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            cmsghdr* c = CMSG_FIRSTHDR(&msg);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(c), &pass_fd, sizeof(int));
        }
        ssize_t n = sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        pass_fd = -1;  // the descriptor went with the first byte
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly `size` bytes; collects a passed descriptor on the way.
RecvResult recv_all(int fd, uint8_t* data, size_t size, int* received_fd) {
    size_t got = 0;
    while (got < size) {
        iovec iov{data + got, size - got};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR) continue;
            return RecvResult::Closed;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
            size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int passed;
                std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
                if (received_fd && *received_fd < 0) *received_fd = passed;
                else close(passed);
            }
        }
        if (n == 0) return got == 0 ? RecvResult::Closed : RecvResult::Bad;
        got += static_cast<size_t>(n);
    }
    return RecvResult::Ok;
}

}  // namespace

bool send_frame(int fd, Op op, const std::vector<uint8_t>& payload, int pass_fd) {
    if (payload.size() > kMaxPayload) return false;
    // One buffer keeps header and payload in a single send for small frames.
    FrameHeader h{kFrameMagic, static_cast<uint32_t>(op), static_cast<uint32_t>(payload.size())};
    if (payload.size() <= 4096) {
        uint8_t buf[sizeof h + 4096];
        std::memcpy(buf, &h, sizeof h);
        if (!payload.empty()) std::memcpy(buf + sizeof h, payload.data(), payload.size());
        return send_all(fd, buf, sizeof h + payload.size(), pass_fd);
    }
    return send_all(fd, reinterpret_cast<const uint8_t*>(&h), sizeof h, pass_fd) &&
           send_all(fd, payload.data(), payload.size(), -1);
}

RecvResult recv_frame(int fd, FrameHeader& header, std::vector<uint8_t>& payload, int* received_fd) {
    if (received_fd) *received_fd = -1;
    auto fail = [&](RecvResult r) {
        if (received_fd && *received_fd >= 0) close(*received_fd), *received_fd = -1;
        return r;
    };
    RecvResult r = recv_all(fd, reinterpret_cast<uint8_t*>(&header), sizeof header, received_fd);
    if (r != RecvResult::Ok) return fail(r);
    if (check_header(header) != HeaderCheck::Ok) return fail(RecvResult::Bad);
    payload.resize(header.length);
    if (header.length) {
        r = recv_all(fd, payload.data(), header.length, received_fd);
        if (r != RecvResult::Ok) return fail(r == RecvResult::Closed ? RecvResult::Bad : r);
    }
    return RecvResult::Ok;
}

std::string socket_path() { return places::runtime_dir() + "/" + kSocketName; }

}  // namespace qor::spool
