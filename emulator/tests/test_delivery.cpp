// Nothing the printer has accepted is lost: a host that closes its end is
// read to the end, a drain is answered once the line is empty, the tail of
// a job is taken without waiting for more, and a resynchronisation ends an
// unfinished command where it stands without losing what came before.
#include "fixture.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "qoremu/control_client.h"
#include "qoremu/frame.h"

namespace emutest {
namespace {

using namespace std::chrono_literals;

const Bytes kResync = {0x10, 0x14, 0x09, 'Q', 'O', 'R', 'S', 'Y', 'N', 'C'};
const Bytes kInitialiseAndCut = {0x1B, 0x40, 0x1D, 0x56, 0x00};

Bytes raster_header(int x_bytes, int rows) { return Bytes{0x1D, 0x76, 0x30, 0x00} + le16(x_bytes) + le16(rows); }

class EmuDelivery : public EmulatorTest {
protected:
    void restart(qoremu::EmulatorOptions options) {
        stop();
        start(options);
    }
    bool eventually_stat(const std::string& key, const std::string& value, std::chrono::milliseconds limit = 3s) {
        return qortest::eventually([&] { return stat(key) == value; }, limit);
    }
};

TEST_F(EmuDelivery, ResynchronisationEndsAnUnfinishedRasterAndTheNextJobPrintsClean) {
    // Two rows announced, one and a half sent: the sender was lost.
    send(raster_header(2, 2) + Bytes{0xF0, 0x0F, 0xAA});
    send(kResync + kInitialiseAndCut + raster_header(1, 1) + Bytes{0xFF} + Bytes{0x1D, 0x56, 0x00});
    Image partial(464, 1), next(464, 1);
    partial.raster(0, 0, {0xF0, 0x0F});
    next.raster(0, 0, {0xFF});
    EXPECT_EQ(compare(ticket(1), partial), "");
    EXPECT_EQ(compare(ticket(2), next), "");
    EXPECT_EQ(stat("resyncs"), "1");
    EXPECT_EQ(stat("unknown"), "0");
}

TEST_F(EmuDelivery, ResynchronisationArrivingInPiecesAndACommandItCutsShort) {
    // A raster header cut after its fourth byte would otherwise take the
    // sequence itself for its sizes.
    send(Bytes{0x1B, 0x4A, 0x02} + Bytes{0x1D, 0x76, 0x30, 0x00});
    send(Bytes(kResync.begin(), kResync.begin() + 4));
    std::this_thread::sleep_for(10ms);
    send(Bytes(kResync.begin() + 4, kResync.end()) + kInitialiseAndCut + raster_header(1, 1) + Bytes{0x3C} +
         Bytes{0x1D, 0x56, 0x00});
    EXPECT_EQ(ticket(1).height, 2);  // the feed before the cut-short command
    Image next(464, 1);
    next.raster(0, 0, {0x3C});
    EXPECT_EQ(compare(ticket(2), next), "");
    EXPECT_EQ(stat("resyncs"), "1");
    EXPECT_EQ(stat("malformed"), "1");
}

TEST_F(EmuDelivery, TheStartOfAResynchronisationThatGoesNoFurtherIsData) {
    // The last raster bytes look like the sequence's start; nothing follows.
    send(raster_header(2, 1) + Bytes{0x10, 0x14});
    EXPECT_TRUE(eventually_stat("raster-rows", "1"));
    send({0x1D, 0x56, 0x00});
    Image row(464, 1);
    row.raster(0, 0, {0x10, 0x14});
    EXPECT_EQ(compare(ticket(1), row), "");
    EXPECT_EQ(stat("resyncs"), "0");
}

TEST_F(EmuDelivery, TheTailOfAJobIsTakenWithoutWaitingForMore) {
    qoremu::EmulatorOptions small;
    small.receive_buffer = 256;
    restart(small);
    // Far more than the buffer, within the line's credit: all of it is sent
    // at once and nothing else comes to wake the printer, which would
    // otherwise sleep a second with the tail unexecuted. Only the ticket
    // file is watched, which the printer does not notice.
    const Bytes job = raster_header(8, 480) + Bytes(3840, 0x18) + Bytes{0x1D, 0x56, 0x00};
    send(job);
    EXPECT_TRUE(qoremu::wait_for_tickets(emulator_->tickets_dir(), 1, 800ms));
    EXPECT_EQ(stat("rx-bytes"), std::to_string(job.size()));
}

TEST_F(EmuDelivery, DrainIsAnsweredOnceTheLineHasReachedTheReceiveBuffer) {
    qoremu::EmulatorOptions slow;
    slow.receive_buffer = 256;
    slow.print_speed = 20;  // 160 rows a second
    restart(slow);
    send(raster_header(8, 400) + Bytes(3200, 0x81) + Bytes{0x1D, 0x56, 0x00});
    EXPECT_FALSE(link_.drain(50ms)) << "taken at once by a slow printer with a small buffer";
    EXPECT_TRUE(link_.connected());
    ASSERT_TRUE(link_.drain(20s)) << link_.error();
    EXPECT_EQ(stat("rx-bytes"), "3211");
}

// A raw connection the printer has greeted (it refuses newcomers while it
// still serves the last host); -1 when none came.
int greeted_connection(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    int fd = -1;
    bool greeted = qortest::eventually([&] {
        if (fd >= 0) ::close(fd);
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return false;
        uint8_t first = 0;
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 1000) == 1 && ::recv(fd, &first, 1, MSG_PEEK) == 1 && first == qoremu::kFrameHello;
    });
    if (!greeted && fd >= 0) ::close(fd);
    return greeted ? fd : -1;
}

TEST_F(EmuDelivery, AHostThatClosesItsEndIsReadToTheEnd) {
    link_.close();
    int fd = greeted_connection(emulator_->socket_path());
    ASSERT_GE(fd, 0);
    // Requests the printer answers into a socket closed by then, and after
    // them the data: the answers fail, the data must still arrive.
    Bytes frames;
    for (int i = 0; i < 3000; ++i) qoremu::encode_frame(frames, qoremu::kFrameModemStatus, uint16_t(i), nullptr, 0);
    Bytes data = raster_header(8, 500) + Bytes(4000, 0x42);
    data.resize(4096);
    qoremu::encode_frame(frames, qoremu::kFrameData, 0, data.data(), data.size());
    for (size_t at = 0; at < frames.size();) {
        ssize_t n = ::send(fd, frames.data() + at, frames.size() - at, MSG_NOSIGNAL);
        ASSERT_GT(n, 0);
        at += size_t(n);
    }
    ::close(fd);
    EXPECT_TRUE(eventually_stat("rx-bytes", "4096"));
    // And the printer takes the next host.
    EXPECT_TRUE(qortest::eventually([&] { return link_.connect(emulator_->socket_path()); }));
}

}  // namespace
}  // namespace emutest
