#include "scripted.h"

#include <cstring>

using namespace lmtest;

namespace {

class LmRequests : public PortTest {};

std::string hex(DWORD value) {
    char text[16];
    snprintf(text, sizeof text, "%#x", value);
    return text;
}

std::vector<std::string> ioctls() {
    std::vector<std::string> out;
    for (auto& call : monitor().snapshot())
        if (call.rfind("ioctl", 0) == 0 || call.rfind("start", 0) == 0 || call == "end") out.push_back(call);
    return out;
}

}  // namespace

TEST_F(LmRequests, DeviceIdOnAFilePortReturnsTrueAndTouchesNothing) {
    HANDLE port = open("FILE:");
    char out[8] = "xxxxxxx";
    DWORD returned = 0;
    EXPECT_TRUE(request(port, "Get DeviceID", 0, out, sizeof out, &returned));
    EXPECT_STREQ(out, "xxxxxxx");
    EXPECT_EQ(returned, 0u);
    EXPECT_TRUE(ioctls().empty());
}

TEST_F(LmRequests, DeviceIdOnLpt1ReadsTheModesOnceAndRenegotiatesEveryTime) {
    HANDLE port = open("LPT1");
    char out[8] = {};
    DWORD returned = 0;
    ASSERT_TRUE(request(port, "Get DeviceID", 0, out, sizeof out, &returned));
    EXPECT_EQ(returned, 4u);
    ASSERT_TRUE(request(port, "gET deVICEid", 0, out, sizeof out, &returned));
    const std::vector<std::string> expected = {
        "start -1 3", "ioctl " + hex(IOCTL_IEEE1284_GET_MODE),
        "ioctl " + hex(IOCTL_IEEE1284_NEGOTIATE) + " {0,0}", "ioctl " + hex(IOCTL_IEEE1284_NEGOTIATE) + " {8,2}",
        "ioctl " + hex(IOCTL_PAR_QUERY_DEVICE_ID), "end",
        "start -1 3",
        "ioctl " + hex(IOCTL_IEEE1284_NEGOTIATE) + " {0,0}", "ioctl " + hex(IOCTL_IEEE1284_NEGOTIATE) + " {8,2}",
        "ioctl " + hex(IOCTL_PAR_QUERY_DEVICE_ID), "end"};
    EXPECT_EQ(ioctls(), expected);
    EXPECT_EQ(record(port)->mode_not_queried, 0u);
}

TEST_F(LmRequests, FailedModeQueryKeepsTheDefaultMasksAndAsksAgain) {
    monitor().get_mode_ok = false;
    HANDLE port = open("lpt2");
    char out[8] = {};
    request(port, "Get DeviceID", 0, out, sizeof out);
    request(port, "Get DeviceID", 0, out, sizeof out);
    EXPECT_EQ(monitor().count("ioctl " + hex(IOCTL_IEEE1284_GET_MODE)), 2u);
    EXPECT_EQ(monitor().count("ioctl " + hex(IOCTL_IEEE1284_NEGOTIATE) + " {4,1}"), 2u);
}

TEST_F(LmRequests, DeviceIdOnLpt0AndUsbSkipsTheModeStep) {
    for (const char* name : {"LPT0", "USB001"}) {
        monitor().reset();
        HANDLE port = open(name);
        char out[8] = {};
        ASSERT_TRUE(request(port, "Get DeviceID", 0, out, sizeof out));
        const std::vector<std::string> expected = {"start -1 3", "ioctl " + hex(IOCTL_PAR_QUERY_DEVICE_ID), "end"};
        EXPECT_EQ(ioctls(), expected) << name;
        close(port);
    }
}

TEST_F(LmRequests, DeviceIdWhenThePortWillNotStartStillSucceedsWithNothingRead) {
    monitor().start_ok = false;
    HANDLE port = open("USB001");
    DWORD returned = 0;
    char out[8] = {};
    EXPECT_TRUE(request(port, "Get DeviceID", 0, out, sizeof out, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(monitor().count("ioctl " + hex(IOCTL_PAR_QUERY_DEVICE_ID)), 0u);
}

TEST_F(LmRequests, NestedDocumentHoldsEndThePortOnlyWithTheLastOne) {
    HANDLE port = open("USB001");
    EXPECT_TRUE(request(port, "StartDocPort"));
    EXPECT_TRUE(request(port, "startdocport"));
    EXPECT_EQ(monitor().count("start -1 3"), 1u);
    EXPECT_EQ(monitor().count("timeouts 100/0/10/5/500 0"), 1u);
    EXPECT_EQ(record(port)->document_holds, 2u);
    EXPECT_TRUE(request(port, "EndDocPort"));
    EXPECT_EQ(monitor().count("end"), 0u);
    EXPECT_TRUE(request(port, "EndDocPort"));
    EXPECT_EQ(monitor().count("end"), 1u);
    EXPECT_TRUE(request(port, "EndDocPort"));
    EXPECT_EQ(record(port)->document_holds, 0u);
    EXPECT_EQ(monitor().count("end"), 1u);
}

TEST_F(LmRequests, UnknownRequestsFailAndControlCodesPassThrough) {
    HANDLE port = open("COM1");
    EXPECT_FALSE(request(port, "QOR_GetStatusRequest"));
    DWORD word = 0;
    EXPECT_TRUE(request(port, "", IOCTL_SERIAL_GET_MODEMSTATUS, &word, sizeof word));
    EXPECT_EQ(word, DWORD(MS_CTS_ON));
    EXPECT_TRUE(request(port, "", 7));
    EXPECT_TRUE(qormon_has(record(port), QORMON_CONTROL7_MARK));
    HANDLE bare = open("COM2", nullptr, false);
    EXPECT_FALSE(request(bare, "", 7));
    // Every path gave the port lock back: a job can start.
    EXPECT_TRUE(start(port, 2));
    EXPECT_FALSE(qormon_has(record(port), QORMON_CONTROL7_MARK));
    QORMonEndDocPort(port);
}

TEST_F(LmRequests, DirectWriteCommandNeedsAStartedPortButNoJob) {
    HANDLE port = open("COM1");
    BYTE command[] = {0x10, 0x04, 0x01};
    DWORD written = 0;
    EXPECT_FALSE(WriteCommand(port, command, 3, TRUE, &written));
    ASSERT_TRUE(request(port, "StartDocPort"));
    EXPECT_TRUE(WriteCommand(port, command, 3, TRUE, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_FALSE(qormon_has(record(port), QORMON_DATA_SENT | QORMON_JOB_ACTIVE));
    std::lock_guard lock(monitor().mutex);
    EXPECT_EQ(monitor().written, Bytes(command, command + 3));
}

TEST_F(LmRequests, WriteCommandGivesBackTheCallersHoldOfThePortLock) {
    HANDLE port = open("COM1");
    ASSERT_TRUE(request(port, "StartDocPort"));
    WaitForSingleObject(record(port)->port_lock, INFINITE);
    BYTE command[] = {0x1D, 0x61, 0x0E};
    DWORD written = 0;
    EXPECT_TRUE(WriteCommand(port, command, 3, FALSE, &written));
    EXPECT_FALSE(ReleaseMutex(record(port)->port_lock));  // no hold left
}

TEST_F(LmRequests, ModemStatusAndBreak) {
    HANDLE port = open("COM1");
    EXPECT_TRUE(CheckConnectComPort(port));
    monitor().modem_status = MS_DSR_ON;
    EXPECT_FALSE(CheckConnectComPort(port));
    EXPECT_TRUE(ComBreak(port, 0));
    const std::vector<std::string> expected = {"ioctl " + hex(IOCTL_SERIAL_GET_MODEMSTATUS),
                                               "ioctl " + hex(IOCTL_SERIAL_GET_MODEMSTATUS),
                                               "ioctl " + hex(IOCTL_SERIAL_SET_BREAK_ON),
                                               "ioctl " + hex(IOCTL_SERIAL_SET_BREAK_OFF)};
    EXPECT_EQ(ioctls(), expected);
    HANDLE bare = open("COM2", nullptr, false);
    EXPECT_FALSE(ComBreak(bare, 0));
    EXPECT_FALSE(CheckConnectComPort(bare));
}
