// The tool's logic through QORCIL, the spooler, the language monitor and
// the printer emulator.
#include "host_serial_test.h"
#include "platform_system.h"
#include "setup_tool.h"

#include "cil_stack.h"

#include "qor/spooler.h"
#include "qor/support/utf.h"

#include <gtest/gtest.h>

#include <thread>

using namespace custom;
using namespace std::chrono_literals;

namespace {

struct RecordingHost : Host {
    std::vector<Message> shown;
    Answer yes_no = Answer::Yes;
    Answer show(const Message& m) override {
        shown.push_back(m);
        if (m.buttons == Buttons::YesNo) return yes_no;
        return m.buttons == Buttons::RetryCancel ? Answer::Cancel : Answer::Ok;
    }
    void begin_communication(const std::string&) override {}
    void end_communication() override {}
    void pump() override {}
    void wait(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    void busy_cursor(bool) override {}
};

// A one-byte raw job; its id.
DWORD submit_job(HANDLE printer) {
    std::u16string doc = u"probe", type = u"RAW";
    DOC_INFO_1W info{doc.data(), nullptr, type.data()};
    const DWORD id = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
    BYTE byte = 0x0A;
    DWORD written = 0;
    WritePrinter(printer, &byte, 1, &written);
    EndDocPrinter(printer);
    return id;
}

bool configure_com1(const char16_t* settings) { return QorConfigurePortW(u"COM1", nullptr, settings); }

class CustomEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stack.ok());
        // The emulator's factory byte 3, C8: 38400 bps, 8 bits, no parity, one stop bit, BUSY.
        ASSERT_TRUE(configure_com1(u"38400,n,8,1,p"));
    }
    int stat(const std::string& key) {
        const std::string v = stack.stat(key);
        return v.empty() ? -1 : std::stoi(v);
    }

    ciltest::PrinterStack stack;
    RecordingHost host;
    QorcilLibrary library;
    SpoolerSystem system;
    SetupTool tool{host, library, system};
};

}  // namespace

TEST_F(CustomEndToEnd, FindsThePrinterAndReadsTheFactorySettings) {
    ASSERT_TRUE(tool.bind_library());
    ASSERT_TRUE(tool.find_printer());
    library.release();
    EXPECT_EQ(tool.printer_name(), ciltest::PrinterStack::kPrinter);
    EXPECT_EQ(tool.port_name(), "COM1");
    ASSERT_TRUE(tool.load_printer()) << (host.shown.empty() ? "" : host.shown[0].text);
    EXPECT_EQ(tool.setbank(), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_EQ(at(tool.selections(), List::PrintDensity), 3);
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(CustomEndToEnd, WriteChangesTheEmulatorsSettingsAndTheTestPrintPrints) {
    ASSERT_TRUE(tool.find_printer());
    ASSERT_TRUE(tool.load_printer());
    const int tickets = stat("tickets");
    at(tool.selections(), List::PrintDensity) = 7;  // 140%
    at(tool.selections(), List::PaperWidth) = 4;    // 80 mm
    tool.write_settings();
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, " Setting was completed.  Do you print a result? ");
    EXPECT_EQ(stack.setting_bytes(), (std::vector<int>{0x18, 0x0F, 0x04, 0xC8}));
    for (int i = 0; i < 100 && stat("tickets") <= tickets; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(stat("tickets"), tickets + 1);
}

TEST_F(CustomEndToEnd, ResetReachesTheEmulator) {
    ASSERT_TRUE(tool.find_printer());
    const int resets = stat("resets");
    tool.reset();
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(stat("resets"), resets + 1);
}

TEST_F(CustomEndToEnd, HostPortAtAnotherSpeedIsAMismatch) {
    ASSERT_TRUE(configure_com1(u"9600,n,8,1,p"));
    ASSERT_TRUE(tool.find_printer());
    EXPECT_FALSE(tool.load_printer());
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, "Mismatch [Bit per second] port setting of Host and Printer");
    EXPECT_FALSE(tool.acquired());
}

TEST_F(CustomEndToEnd, PrinterWithAStatusIsRecoveredBeforeTheConnectionTest) {
    std::u16string name = qor::utf8_to_utf16(ciltest::PrinterStack::kPrinter);
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(name.data(), &h, &all));
    ASSERT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PAUSE));
    // Paused, every job waits in the queue; job ids are handed out in turn.
    const DWORD before = submit_job(h);
    ASSERT_NE(before, 0u);
    ASSERT_TRUE(tool.find_printer());
    const DWORD after = submit_job(h);
    // The recovery job came between the two, and the purge took it and the first.
    EXPECT_EQ(after, before + 2);
    std::vector<BYTE> jobs(4096);
    DWORD needed = 0, count = 0;
    EXPECT_TRUE(EnumJobsW(h, 0, 16, 1, jobs.data(), DWORD(jobs.size()), &needed, &count));
    EXPECT_EQ(count, 1u);
    ClosePrinter(h);
}

TEST_F(CustomEndToEnd, StoppedEmulatorGivesTheRetryPromptAndCancelLeavesNotAcquired) {
    ASSERT_TRUE(tool.find_printer());
    stack.stop_emulator();
    EXPECT_FALSE(tool.load_printer());
    ASSERT_FALSE(host.shown.empty());
    EXPECT_EQ(host.shown[0].buttons, Buttons::RetryCancel);
    EXPECT_FALSE(tool.acquired());
    EXPECT_EQ(tool.mask(), (SettingBytes{0, 0, 0, 0}));
}

TEST_F(CustomEndToEnd, HostPortConfigurationIsThatOfTheWholePortName) {
    std::u16string com10 = u"COM10";
    PORT_INFO_1W port{com10.data()};
    ASSERT_TRUE(AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&port), nullptr));
    ASSERT_TRUE(QorConfigurePortW(u"COM10", nullptr, u"4800,e,7,2,x"));
    DCB dcb{};
    ASSERT_TRUE(system.host_port_config("COM10", &dcb));
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(serial_mismatch(0x36, dcb), "");  // 4800, 7 bits, even, two stop bits, XON/XOFF
    ASSERT_TRUE(system.host_port_config("COM1", &dcb));
    EXPECT_EQ(dcb.BaudRate, 38400u);
    EXPECT_FALSE(system.host_port_config("COM7", &dcb));
}

TEST_F(CustomEndToEnd, RawJobToAnUnknownPrinterGivesUpSilently) {
    EXPECT_FALSE(system.send_raw_job("nobody", {0x12, 0x71, 0x00}, host));
    EXPECT_TRUE(host.shown.empty());
}
