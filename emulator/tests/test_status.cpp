// Status, settings and faults as the host sees them on the wire.
#include <thread>

#include "fixture.h"
#include "qoremu/control_client.h"

namespace emutest {
namespace {

using namespace std::chrono_literals;

const Bytes kReadSettings = {0x1D, 0x61, 0x00, 0x12, 0x71, 0x05, 0x12, 0x6C, 0x00};
const Bytes kStatusBackOn = {0x1D, 0x61, 0x1E};

Bytes dle_eot(int n) { return {0x10, 0x04, uint8_t(n)}; }

class EmuStatus : public EmulatorTest {
protected:
    uint8_t ask(int n) {
        send(dle_eot(n));
        Bytes got = receive(1);
        return got.empty() ? 0 : got[0];
    }
    // Reads 4-byte automatic status backs until one satisfies `match`.
    Bytes wait_status_back(bool (*match)(const Bytes&), int timeout_ms = 5000) {
        Bytes pending;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < deadline) {
            pending = pending + receive(1, 50);
            while (!pending.empty() && (pending[0] & 0x93) != 0x10) pending.erase(pending.begin());
            if (pending.size() >= 4) {
                Bytes back(pending.begin(), pending.begin() + 4);
                pending.erase(pending.begin(), pending.begin() + 4);
                if (match(back)) return back;
            }
        }
        ADD_FAILURE() << "no matching status back";
        return {};
    }
};

TEST_F(EmuStatus, SettingReadAnswersHeaderAndNibbles) {
    send(kReadSettings);
    EXPECT_EQ(receive(9), (Bytes{0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C}));
    expect_silence();
}

TEST_F(EmuStatus, SettingWriteIsReadBackAndSurvivesRestart) {
    send({0x1D, 0x61, 0x0E, 0x12, 0x6B, 0x21, 0x43, 0x65, 0x87});
    EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x00, 0x00}));  // GS a 0E reports at once
    send(kReadSettings);
    const Bytes expected = {0x55, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(receive(9), expected);
    stop();
    start(options_);
    send(kReadSettings);
    EXPECT_EQ(receive(9), expected);
    std::vector<std::string> lines;
    ASSERT_TRUE(emulator_->control("settings", &lines));
    EXPECT_EQ(lines.at(0), "setbank 21 43 65 87");
}

struct ConditionCase {
    const char* name;
    uint8_t eot[4];
    Bytes back;
};

TEST_F(EmuStatus, EachConditionInBothForms) {
    const ConditionCase cases[] = {
        {"offline", {0x1A, 0x12, 0x12, 0x12}, {0x18, 0x00, 0x00, 0x00}},
        {"paper-near-end", {0x12, 0x12, 0x12, 0x1E}, {0x10, 0x00, 0x03, 0x00}},
        {"paper-out", {0x1A, 0x32, 0x12, 0x72}, {0x18, 0x00, 0x0C, 0x00}},
        {"cover-open", {0x1A, 0x16, 0x12, 0x12}, {0x38, 0x00, 0x00, 0x00}},
        {"paper-jam", {0x1A, 0x52, 0x16, 0x12}, {0x18, 0x04, 0x00, 0x00}},
        {"cutter-error", {0x1A, 0x52, 0x1A, 0x12}, {0x18, 0x08, 0x00, 0x00}},
        {"auto-recovery-error", {0x1A, 0x52, 0x52, 0x12}, {0x18, 0x40, 0x00, 0x00}},
        {"fatal-error", {0x1A, 0x52, 0x32, 0x12}, {0x18, 0x20, 0x00, 0x00}},
    };
    send({0x1D, 0x61, 0x0E});
    EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x00, 0x00}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        control(std::string("raise ") + c.name);
        EXPECT_EQ(receive(4), c.back);
        for (int n = 1; n <= 4; ++n) EXPECT_EQ(ask(n), c.eot[n - 1]) << "DLE EOT " << n;
        control(std::string("clear ") + c.name);
        EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x00, 0x00}));
    }
}

TEST_F(EmuStatus, StatusBackOnlyForEnabledGroups) {
    send({0x1D, 0x61, 0x02});  // on line / off line only
    EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x00, 0x00}));
    control("raise paper-near-end");
    expect_silence();
    control("raise offline");
    EXPECT_EQ(receive(4), (Bytes{0x18, 0x00, 0x03, 0x00}));
    control("clear offline");
    EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x03, 0x00}));
    send({0x1D, 0x61, 0x00});
    sync();
    control("raise offline");
    expect_silence();
}

TEST_F(EmuStatus, PaperOutStopsTheJobAndClearingResumesIt) {
    control("print-speed 100");  // 800 rows a second
    Bytes marker = {0x1D, 0x76, 0x30, 0x00, 0x3A, 0x00, 0x01, 0x00};
    marker = marker + Bytes(58, 0xFF);
    Bytes job = kStatusBackOn + Bytes{0x1B, 0x40} + marker;
    for (int i = 0; i < 4; ++i) job = job + Bytes{0x1B, 0x4A, 200};
    job = job + marker + Bytes{0x1D, 0x56, 0x00};
    send(job);
    wait_status_back([](const Bytes& b) { return (b[3] & 0x01) != 0; });  // printing
    control("raise paper-out");
    Bytes stopped = wait_status_back([](const Bytes& b) { return (b[2] & 0x0C) != 0; });
    EXPECT_EQ(stopped, (Bytes{0x18, 0x00, 0x0C, 0x00}));  // off line, paper end, not printing
    EXPECT_EQ(ask(4), 0x72);
    EXPECT_EQ(ask(2), 0x32);
    // The whole job would take one second; held up, it makes no ticket.
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(qoremu::list_tickets(emulator_->tickets_dir()).empty());
    control("clear paper-out");
    Image expected(464, 802);
    expected.raster(0, 0, Bytes(58, 0xFF));
    expected.raster(0, 801, Bytes(58, 0xFF));
    EXPECT_EQ(compare(ticket(1), expected), "");
    send({0x1D, 0x61, 0x00});
    sync();  // status backs of the resumed job are behind us now
    EXPECT_EQ(ask(4), 0x12);
}

TEST_F(EmuStatus, RealTimeRequestsAreAnsweredAheadOfQueuedWork) {
    control("raise cover-open");
    send({0x1B, 0x40, 'A', 'B', 0x0A, 0x1D, 0x56, 0x00});
    EXPECT_EQ(ask(2), 0x16);
    EXPECT_TRUE(qoremu::list_tickets(emulator_->tickets_dir()).empty());
    control("clear cover-open");
    ticket(1);
}

TEST_F(EmuStatus, OutOfBandQueries) {
    std::string id;
    ASSERT_TRUE(link_.device_id(&id));
    EXPECT_EQ(id, std::string("\x00\x50", 2) + "MFG:QOR;CMD:ESC/POS;MDL:ZEM-D510x;CLS:PRINTER;DES:QOR ZEM-D510x Kiosk Printer;");
    uint32_t modem = 0;
    ASSERT_TRUE(link_.modem_status(&modem));
    EXPECT_EQ(modem, 0x30u);
    uint16_t r = 0, w = 0;
    ASSERT_TRUE(link_.ieee1284_mode(&r, &w));
    EXPECT_EQ(r, 4);
    EXPECT_EQ(w, 1);
    ASSERT_TRUE(link_.ieee1284_negotiate(0x14, 0x03, &r, &w));
    EXPECT_EQ(r, 4);
    EXPECT_EQ(w, 1);
    ASSERT_TRUE(link_.break_on());
    ASSERT_TRUE(link_.modem_status(&modem));
    EXPECT_EQ(modem, 0x20u) << "no clear-to-send during a break";
    ASSERT_TRUE(link_.break_off());
    EXPECT_EQ(stat("resets"), "0");  // I/O reset disabled by default
}

TEST_F(EmuStatus, BusyWhenOfflineDropsClearToSend) {
    send({0x12, 0x6B, 0x18, 0x87, 0x00, 0xC9});  // busy condition "full / off line", I/O reset on
    sync();
    control("raise offline");
    uint32_t modem = 0;
    ASSERT_TRUE(link_.modem_status(&modem));
    EXPECT_EQ(modem, 0x20u);
    control("clear offline");
    ASSERT_TRUE(link_.modem_status(&modem));
    EXPECT_EQ(modem, 0x30u);
    ASSERT_TRUE(link_.break_on());
    ASSERT_TRUE(link_.break_off());
    EXPECT_TRUE(qortest::eventually([&] { return stat("resets") == "1"; }));
}

TEST_F(EmuStatus, ResetAndRecoveryClearErrors) {
    control("raise cutter-error");
    EXPECT_EQ(ask(3), 0x1A);
    send({0x12, 0x71, 0x00});  // recovery acts on arrival, though the error stops the printer
    EXPECT_EQ(ask(3), 0x12);
    control("raise fatal-error");
    control("raise paper-jam");
    control("clear paper-jam");
    EXPECT_EQ(ask(3), 0x32);
    control("clear fatal-error");
    send({0x1D, 0x61, 0x0E, 0x12, 0x40});
    EXPECT_EQ(receive(4), (Bytes{0x10, 0x00, 0x00, 0x00}));
    sync();
    control("raise offline");
    expect_silence();  // the reset cleared the status-back mask
    EXPECT_EQ(stat("resets"), "1");
}

TEST_F(EmuStatus, SilentAndGarbage) {
    control("silent on");
    send(dle_eot(1));
    expect_silence();
    control("garbage ff 00 7e");
    EXPECT_EQ(receive(3), (Bytes{0xFF, 0x00, 0x7E}));
    control("silent off");
    EXPECT_EQ(ask(1), 0x12);
}

TEST_F(EmuStatus, DisconnectAndComeBack) {
    control("disconnect 400");
    uint8_t byte;
    EXPECT_LT(link_.receive(&byte, 1, 2000ms), 0);
    qoremu::Link other;
    EXPECT_FALSE(other.connect(emulator_->socket_path()));
    EXPECT_TRUE(qortest::eventually([&] { return link_.connect(emulator_->socket_path()); }, 3000ms));
    EXPECT_EQ(ask(1), 0x12);
}

TEST_F(EmuStatus, SecondConnectionIsRefused) {
    qoremu::Link second;
    EXPECT_FALSE(second.connect(emulator_->socket_path()));
    EXPECT_NE(second.error().find("in use"), std::string::npos) << second.error();
}

TEST_F(EmuStatus, PresenterTakesBackAnUncollectedTicket) {
    send(kStatusBackOn + Bytes{0x12, 0x54, 0x0A, 'X', 0x0A, 0x1D, 0x56, 0x00});  // 1.0 s
    wait_status_back([](const Bytes& b) { return (b[3] & 0x02) != 0; });
    wait_status_back([](const Bytes& b) { return (b[3] & 0x02) == 0; }, 4000);
    EXPECT_EQ(stat("retracted"), "1");
    send(Bytes{'Y', 0x0A, 0x1D, 0x56, 0x00});
    wait_status_back([](const Bytes& b) { return (b[3] & 0x02) != 0; });
    control("take");
    wait_status_back([](const Bytes& b) { return (b[3] & 0x02) == 0; });
    EXPECT_EQ(stat("taken"), "1");
}

TEST_F(EmuStatus, ThrottledLineTakesItsTime) {
    control("throttle 9600");
    Bytes data(960, 'x');  // ten bits a byte: one second at 9600 bps
    auto begin = std::chrono::steady_clock::now();
    send(data + Bytes{0x1B, 0x40});
    sync();
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 900ms);
}

TEST_F(EmuStatus, ControlRejectsNonsense) {
    std::string error;
    EXPECT_FALSE(emulator_->control("raise everything", nullptr, &error));
    EXPECT_FALSE(emulator_->control("throttle 12", nullptr, &error));
    EXPECT_FALSE(emulator_->control("garbage 1", nullptr, &error));
    EXPECT_FALSE(emulator_->control("frobnicate", nullptr, &error));
    EXPECT_NE(error.find("unknown command"), std::string::npos);
}

}  // namespace
}  // namespace emutest
