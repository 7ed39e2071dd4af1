// The port monitor driving the printer emulator through an "emu:" port, as
// a language monitor would: job bytes, replies, and the line requests.
#include "local_port_monitor.h"
#include "emulator_device.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace qor::spooler;

class EmulatorPort : public ::testing::Test {
protected:
    void SetUp() override {
        register_emulator_device_kind();
        emulator = qortest::Child::spawn("qoremu", {"--socket", socket});
        // The port's own connection attempts wait for the emulator to listen.
        ASSERT_TRUE(qortest::eventually([&] {
            struct stat st{};
            return stat(socket.c_str(), &st) == 0;
        }));
        ASSERT_TRUE(table->pfnOpenPort(monitor.handle(), const_cast<LPWSTR>(u"COM1"), &port));
    }
    void TearDown() override {
        if (port) table->pfnClosePort(port);
    }
    BOOL control(DWORD code, void* out, DWORD size, DWORD& returned, void* in = nullptr, DWORD in_size = 0) {
        return table->pfnGetPrinterDataFromPort(port, code, nullptr, static_cast<LPWSTR>(in), in_size,
                                                static_cast<LPWSTR>(out), size, &returned);
    }

    std::string socket = qortest::sandbox() + "/emu.sock";
    qortest::Child emulator;
    LocalPortMonitor monitor{[this](const std::string& name, PortConfig& c) {
        c.device = "emu:" + socket;
        return name == "COM1";
    }};
    MONITOR2* table = monitor.table();
    HANDLE port = nullptr;
};

TEST_F(EmulatorPort, JobBytesGoOutAndStatusRepliesComeBack) {
    ASSERT_TRUE(table->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
    COMMTIMEOUTS t{100, 0, 2000, 5, 500};
    ASSERT_TRUE(table->pfnSetPortTimeOuts(port, &t, 0));
    uint8_t status_request[] = {0x10, 0x04, 0x01};  // real-time printer status
    DWORD written = 0;
    ASSERT_TRUE(table->pfnWritePort(port, status_request, sizeof status_request, &written));
    EXPECT_EQ(written, 3u);
    uint8_t reply[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(table->pfnReadPort(port, reply, sizeof reply, &got));
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(reply[0] & 0x93, 0x12);  // the fixed bits of every real-time reply
    EXPECT_TRUE(table->pfnEndDocPort(port));
}

TEST_F(EmulatorPort, LineRequestsWorkWithoutADocument) {
    char id[256] = {};
    DWORD returned = 0;
    ASSERT_TRUE(control(IOCTL_PAR_QUERY_DEVICE_ID, id, sizeof id, returned));
    EXPECT_EQ(std::string(id).rfind("MFG:QOR;", 0), 0u);
    EXPECT_EQ(returned, std::string(id).size() + 1);
    DWORD modem = 0;
    ASSERT_TRUE(control(IOCTL_SERIAL_GET_MODEMSTATUS, &modem, 4, returned));
    EXPECT_EQ(returned, 4u);
    EXPECT_TRUE(modem & MS_DSR_ON);
    ASSERT_TRUE(control(IOCTL_SERIAL_SET_BREAK_ON, nullptr, 0, returned));
    ASSERT_TRUE(control(IOCTL_SERIAL_SET_BREAK_OFF, nullptr, 0, returned));
    WORD modes[2] = {};
    ASSERT_TRUE(control(IOCTL_IEEE1284_GET_MODE, modes, sizeof modes, returned));
    EXPECT_EQ(modes[0], 4);
    EXPECT_EQ(modes[1], 1);
    char small[4];
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(control(IOCTL_PAR_QUERY_DEVICE_ID, small, sizeof small, returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(EmulatorPort, AVanishedEmulatorMakesThePortReportAnError) {
    ASSERT_TRUE(table->pfnStartDocPort(port, const_cast<LPWSTR>(u"P"), 1, 1, nullptr));
    emulator.kill();
    COMMTIMEOUTS t{0, 0, 0, 0, 2000};
    table->pfnSetPortTimeOuts(port, &t, 0);
    std::vector<uint8_t> data(64 * 1024, 0x0A);
    DWORD written = 0;
    BOOL ok = TRUE;
    SetLastError(qortest::kStaleError);
    for (int i = 0; i < 20 && ok; ++i) ok = table->pfnWritePort(port, data.data(), DWORD(data.size()), &written);
    EXPECT_FALSE(ok);
    EXPECT_NE(GetLastError(), 0u);
    table->pfnEndDocPort(port);
}

}  // namespace
