// The service's socket and lifetime: hostile requests, start on demand,
// ending when its folder goes, and qorctl driving it.
#include "qor/spool/protocol.h"
#include "spool_testing.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace qor::spool;

int connect_raw() {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = socket_path();
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

void send_bytes(int fd, const void* data, size_t size) {
    ASSERT_EQ(send(fd, data, size, MSG_NOSIGNAL), ssize_t(size));
}

// True when the service closed the connection (after at most one reply).
bool closed_by_service(int fd) {
    char buf[256];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n == 0;
}

TEST(SpoolerSocket, BadRequestsGetAnErrorReplyOrAClosedConnection) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());

    int fd = connect_raw();
    ASSERT_GE(fd, 0);
    FrameHeader bad_magic{0xdeadbeef, uint32_t(Op::Ping), 0};
    send_bytes(fd, &bad_magic, sizeof bad_magic);
    EXPECT_TRUE(closed_by_service(fd));
    close(fd);

    fd = connect_raw();
    FrameHeader oversized{kFrameMagic, uint32_t(Op::SetPrinterData), kMaxPayload + 1};
    send_bytes(fd, &oversized, sizeof oversized);
    EXPECT_TRUE(closed_by_service(fd));
    close(fd);

    // Well framed but undecodable: an error reply, and the connection goes on.
    fd = connect_raw();
    Writer garbage;
    garbage.u64(1).bytes("xx", 2);
    ASSERT_TRUE(send_frame(fd, Op::OpenPrinter, garbage.payload()));
    FrameHeader h{};
    std::vector<uint8_t> reply;
    ASSERT_EQ(recv_frame(fd, h, reply), RecvResult::Ok);
    Reader r(reply);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_EQ(r.u32(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(send_frame(fd, Op::Ping, {}));
    ASSERT_EQ(recv_frame(fd, h, reply), RecvResult::Ok);
    close(fd);

    // Truncated frames, then random bytes on fresh connections.
    fd = connect_raw();
    FrameHeader truncated{kFrameMagic, uint32_t(Op::AddPrinter), 100};
    send_bytes(fd, &truncated, sizeof truncated);
    send_bytes(fd, "0123456789", 10);
    close(fd);
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        fd = connect_raw();
        ASSERT_GE(fd, 0);
        std::vector<uint8_t> noise(rng() % 64);
        for (auto& b : noise) b = uint8_t(rng());
        if (i % 2 && noise.size() >= 8) {  // valid head, random rest
            FrameHeader fh{kFrameMagic, uint32_t(rng() % uint32_t(Op::Count)), uint32_t(noise.size() - 8)};
            std::memcpy(noise.data(), &fh, 8);
        }
        if (!noise.empty()) send(fd, noise.data(), noise.size(), MSG_NOSIGNAL);
        close(fd);
    }
    EXPECT_TRUE(QorSpoolerControl(QOR_SPOOLER_PING));
    EXPECT_EQ(kill(spooler.pid(), 0), 0);
}

TEST(SpoolerSocket, FirstCallStartsTheServiceAndStopEndsIt) {
    EXPECT_FALSE(QorSpoolerControl(QOR_SPOOLER_PING));
    DWORD needed = 0, count = 0;
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(QorSpoolerControl(QOR_SPOOLER_PING));
    EXPECT_TRUE(QorSpoolerControl(QOR_SPOOLER_STOP));
    EXPECT_FALSE(QorSpoolerControl(QOR_SPOOLER_PING));
}

TEST(SpoolerSocket, ServiceEndsWhenItsSocketDisappears) {
    ASSERT_TRUE(QorSpoolerControl(QOR_SPOOLER_START));
    unlink(socket_path().c_str());  // as when the runtime folder is removed
    // STOP finds no service to ask and only waits for the instance lock.
    EXPECT_TRUE(QorSpoolerControl(QOR_SPOOLER_STOP));
}

TEST(Qorctl, AdministersPrintersPortsAndDrivers) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    auto run = [](std::vector<std::string> args) { return qortest::Child::spawn("qorctl", args).wait(); };
    EXPECT_EQ(run({"status"}), 0);
    EXPECT_EQ(run({"add-port", "USB002", "--device", spooler.output_path()}), 0);
    EXPECT_EQ(run({"configure-port", "COM2", "--settings", "19200,n,8,1,p"}), 0);
    EXPECT_EQ(run({"configure-port", "COM2", "--settings", "fast"}), 1);
    EXPECT_EQ(run({"add-driver", "QOR ZEM-D510", "QORKPDN5.so", "--data", "qorn5001.ppd"}), 0);
    EXPECT_EQ(run({"add-printer", "Kiosk", "USB002", "QOR ZEM-D510"}), 0);
    EXPECT_EQ(run({"add-printer", "Kiosk", "USB002", "QOR ZEM-D510"}), 1);
    EXPECT_EQ(run({"set-printer", "Kiosk", "+bidi", "-queued"}), 0);
    EXPECT_EQ(run({"set-printer", "Kiosk", "+sparkle"}), 2);
    EXPECT_EQ(run({"printers"}), 0);
    EXPECT_EQ(run({"ports"}), 0);
    EXPECT_EQ(run({"drivers"}), 0);
    std::string doc = qortest::sandbox() + "/doc.bin";
    FILE* f = fopen(doc.c_str(), "wb");
    fputs("printed by qorctl", f);
    fclose(f);
    EXPECT_EQ(run({"print", "Kiosk", doc}), 0);
    EXPECT_TRUE(spooler.wait_idle("Kiosk"));
    EXPECT_EQ(spooler.output(), "printed by qorctl");
    EXPECT_EQ(run({"jobs", "Kiosk"}), 0);
    EXPECT_EQ(run({"remove-driver", "QOR ZEM-D510"}), 1);  // still in use
    EXPECT_EQ(run({"remove-printer", "Kiosk"}), 0);
    EXPECT_EQ(run({"remove-driver", "QOR ZEM-D510"}), 0);
    EXPECT_EQ(run({"remove-port", "USB002"}), 0);
    EXPECT_EQ(run({"no-such-command"}), 2);
}

}  // namespace
