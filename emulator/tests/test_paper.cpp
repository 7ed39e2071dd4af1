// What the settings and the mechanism do to the paper: cutter, marks,
// paper width, test print, hardware reset, flow control.
#include "fixture.h"
#include "qoremu/control_client.h"

namespace emutest {
namespace {

using namespace std::chrono_literals;

Bytes one_row(int x_bytes, uint8_t value) {
    Bytes b = {0x1D, 0x76, 0x30, 0x00};
    b = b + le16(x_bytes) + le16(1);
    return b + Bytes(size_t(x_bytes), value);
}

class EmuPaper : public EmulatorTest {};

TEST_F(EmuPaper, DisabledCutterIgnoresCuts) {
    send({0x12, 0x6B, 0x10, 0x07, 0x00, 0xC8});  // auto cutter off
    send(one_row(1, 0xFF) + Bytes{0x1D, 0x56, 0x00} + one_row(1, 0x0F));
    sync();
    EXPECT_EQ(stat("tickets"), "0");
    EXPECT_EQ(stat("cuts-ignored"), "1");
    send({0x12, 0x6B, 0x18, 0x07, 0x00, 0xC8, 0x1D, 0x56, 0x01});
    Image expected(464, 2);  // both rows on the one ticket cut at last
    expected.raster(0, 0, {0xFF});
    expected.raster(0, 1, {0x0F});
    EXPECT_EQ(compare(ticket(1), expected), "");
}

TEST_F(EmuPaper, FeedToMarkOnMarkedPaperOnly) {
    send(one_row(1, 0xFF) + Bytes{0x1D, 0x0C, 0x1D, 0x56, 0x00});  // plain paper: no movement
    EXPECT_EQ(ticket(1).height, 1);
    send(Bytes{0x12, 0x6B, 0x18, 0x07, 0x40, 0xC8} + one_row(1, 0xFF) + Bytes{0x1D, 0x0C, 0x1D, 0x56, 0x00});
    EXPECT_EQ(ticket(2).height, 800);
}

TEST_F(EmuPaper, PaperWidthChangesAtTheNextTicket) {
    send(one_row(1, 0xFF) + Bytes{0x12, 0x6B, 0x18, 0x07, 0x04, 0xC8} + one_row(1, 0xFF) +
         Bytes{0x1D, 0x56, 0x00} + one_row(1, 0xFF) + Bytes{0x1D, 0x56, 0x00});
    EXPECT_EQ(ticket(1).width, 464);
    EXPECT_EQ(ticket(2).width, 640);  // 80 mm
}

TEST_F(EmuPaper, TestPrintListsTheSettings) {
    send({0x1D, 0x61, 0x1E, 0x1B, 0x40, 0x12, 0x74});
    Image listing = ticket(1);
    EXPECT_EQ(listing.width, 464);
    EXPECT_GT(listing.height, 25 * 33) << "a line for each setting";
    int l, t, r, b;
    EXPECT_TRUE(listing.ink_bounds(0, 0, listing.width, 33, &l, &t, &r, &b));
}

TEST_F(EmuPaper, HardwareResetHoldsTheLineButLosesNothing) {
    auto begin = std::chrono::steady_clock::now();
    send(Bytes{0x12, 0x40} + one_row(2, 0xAA) + Bytes{0x1D, 0x56, 0x00});
    Image expected(464, 1);
    expected.raster(0, 0, {0xAA, 0xAA});
    EXPECT_EQ(compare(ticket(1), expected), "");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 250ms) << "the reset takes its time";
}

TEST_F(EmuPaper, StoppedPrinterHoldsTheHostBackAndLosesNothing) {
    control("raise cover-open");
    // More than the receive buffer and the line hold together.
    Bytes job;
    for (int i = 0; i < 300; ++i) job = job + one_row(58, uint8_t(i));
    job = job + Bytes{0x1D, 0x56, 0x00};
    long accepted = link_.send(job.data(), job.size(), 300ms);
    EXPECT_GT(accepted, 0);
    EXPECT_LT(size_t(accepted), job.size()) << "a full printer stops taking data";
    uint32_t modem = 0;
    ASSERT_TRUE(link_.modem_status(&modem));
    EXPECT_EQ(modem & 0x10u, 0u) << "no clear-to-send while the buffer is full";
    control("clear cover-open");
    Bytes rest(job.begin() + accepted, job.end());
    send(rest);
    Image printed = ticket(1);
    ASSERT_EQ(printed.height, 300);
    for (int i = 0; i < 300; ++i) {
        Image row(464, 1);
        row.raster(0, 0, Bytes(58, uint8_t(i)));
        for (int x = 0; x < 464; ++x) ASSERT_EQ(printed.at(x, i), row.at(x, 0)) << "row " << i;
    }
}

TEST_F(EmuPaper, LinkReportsADroppedConnection) {
    control("disconnect");
    uint8_t byte;
    EXPECT_EQ(link_.receive(&byte, 1, 2000ms), -1);
    EXPECT_FALSE(link_.connected());
    EXPECT_EQ(link_.send(&byte, 1, 100ms), -1);
    std::string id;
    EXPECT_FALSE(link_.device_id(&id));
}

}  // namespace
}  // namespace emutest
