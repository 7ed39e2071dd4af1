// The framed socket seen from a raw socket: what a client that breaks the
// rules gets.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "qoremu/emulator.h"
#include "qoremu/frame.h"
#include "qortest.h"

namespace {

using Bytes = std::vector<uint8_t>;

class EmuTransport : public ::testing::Test {
protected:
    void SetUp() override {
        qoremu::EmulatorOptions options;
        options.tickets_dir = qortest::sandbox() + "/transport";
        options.state_path = "none";
        std::string error;
        emulator_ = qoremu::Emulator::start(options, &error);
        ASSERT_TRUE(emulator_) << error;
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, emulator_->socket_path().c_str(), sizeof(address.sun_path) - 1);
        ASSERT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    }
    void TearDown() override {
        if (fd_ >= 0) ::close(fd_);
        emulator_.reset();
    }
    // Frames until the connection closes or nothing comes for a while.
    std::vector<qoremu::Frame> frames(bool* closed) {
        std::vector<qoremu::Frame> got;
        qoremu::FrameDecoder decoder;
        *closed = false;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 500) <= 0) return got;
            uint8_t buffer[8192];
            ssize_t n = ::read(fd_, buffer, sizeof(buffer));
            if (n <= 0) {
                *closed = true;
                return got;
            }
            decoder.feed(buffer, size_t(n), got);
        }
    }
    void put(const Bytes& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    std::unique_ptr<qoremu::Emulator> emulator_;
    int fd_ = -1;
};

TEST_F(EmuTransport, GreetsWithVersionAndCredit) {
    bool closed;
    auto got = frames(&closed);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].type, qoremu::kFrameHello);
    ASSERT_EQ(got[0].payload.size(), 8u);
    EXPECT_EQ(qoremu::read_le32(got[0].payload.data()), qoremu::kProtocolVersion);
    EXPECT_EQ(qoremu::read_le32(got[0].payload.data() + 4), 4096u);
    EXPECT_FALSE(closed);
}

TEST_F(EmuTransport, BadFrameEndsTheConnection) {
    put({0x7E, 0, 0, 0, 0, 0, 0, 0});
    bool closed;
    auto got = frames(&closed);
    EXPECT_TRUE(closed);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got.back().type, qoremu::kFrameError);
    EXPECT_EQ(qoremu::read_le32(got.back().payload.data()), qoremu::kFrameErrorBadFrame);
}

TEST_F(EmuTransport, DataBeyondTheCreditIsRefused) {
    Bytes frame;
    for (int i = 0; i < 2; ++i) {
        Bytes data(4000, 0x20);
        qoremu::encode_frame(frame, qoremu::kFrameData, 0, data.data(), data.size());
    }
    put(frame);
    bool closed;
    auto got = frames(&closed);
    EXPECT_TRUE(closed);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().type, qoremu::kFrameError);
    EXPECT_EQ(qoremu::read_le32(got.back().payload.data()), qoremu::kFrameErrorCredit);
}

TEST_F(EmuTransport, OversizedLengthIsNotTrusted) {
    put({qoremu::kFrameData, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});
    bool closed;
    frames(&closed);
    EXPECT_TRUE(closed);
    // The printer is unharmed and takes the next client.
    ::close(fd_);
    fd_ = -1;
    std::vector<std::string> lines;
    EXPECT_TRUE(emulator_->control("stats", &lines));
}

}  // namespace
