#include "scripted.h"

#include "qortest.h"
#include "qor/memory.h"

#include <thread>

using namespace lmtest;

namespace {

class LmSessions : public PortTest {};

}  // namespace

TEST_F(LmSessions, DuplicateOpenIsBusyButAnotherLetterCaseIsAnotherPort) {
    ASSERT_NE(open("COM1"), nullptr);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(open("COM1"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    HANDLE lower = open("com1");
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(monitor().count("open com1"), 1u);
    QORMON_PORT* port = record(lower);
    EXPECT_EQ(port->signature, DWORD(QORMON_PORT_SIGNATURE));
    EXPECT_EQ(port->poll_wait, 500u);
    EXPECT_EQ(port->ieee1284_read_mask, 4);
    EXPECT_EQ(port->ieee1284_write_mask, 1);
    EXPECT_EQ(port->mode_not_queried, 1u);
    EXPECT_TRUE(qormon_has(port, QORMON_POLLING_ENABLED));
}

TEST_F(LmSessions, AFailedOpenLeavesThePortFreeForTheNextAttempt) {
    monitor().open_ok = false;
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(open("COM2"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    monitor().open_ok = true;
    EXPECT_NE(open("COM2"), nullptr);
}

TEST_F(LmSessions, ModelEntriesAreLookedUpAtOpen) {
    HANDLE port = open("COM1", test_model());
    ASSERT_NE(port, nullptr);
    EXPECT_NE(record(port)->parse_status, nullptr);
    EXPECT_NE(record(port)->raw_data_sink, nullptr);
    HANDLE bare = open("COM3");
    EXPECT_EQ(record(bare)->parse_status, nullptr);
}

TEST_F(LmSessions, SecondStartIsBusyAndLeavesTheRunningJobIntact) {
    HANDLE port = open("USB001");
    ASSERT_TRUE(start(port, 12));
    EXPECT_EQ(monitor().count("timeouts 100/0/10/5/500 0"), 1u);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(start(port, 13));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    EXPECT_EQ(record(port)->job_id, 12u);
    EXPECT_TRUE(qormon_has(record(port), QORMON_JOB_ACTIVE | QORMON_PORT_STARTED));
    EXPECT_EQ(monitor().count("start 12 1"), 1u);
    EXPECT_EQ(monitor().count("start 13 1"), 0u);
    QORMonEndDocPort(port);
}

TEST_F(LmSessions, AFailedStartClearsTheJobAndKeepsTheMonitorsError) {
    HANDLE port = open("USB001");
    monitor().start_ok = false;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(start(port, 5));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
    EXPECT_FALSE(qormon_has(record(port), QORMON_JOB_ACTIVE | QORMON_POLLING_RUN | QORMON_PORT_STARTED));
    monitor().start_ok = true;
    EXPECT_TRUE(start(port, 6));
    QORMonEndDocPort(port);
}

TEST_F(LmSessions, EmptyJobIsEjectedCancelledAndEndedAtOnce) {
    HANDLE port = open("USB001");
    ASSERT_TRUE(start(port, 21));
    EXPECT_TRUE(QORMonEndDocPort(port));
    EXPECT_EQ(monitor().count("end"), 1u);
    EXPECT_FALSE(qormon_has(record(port), QORMON_PORT_STARTED | QORMON_JOB_ACTIVE));
    const auto calls = spooler().snapshot();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "open-full ZEM");
    EXPECT_EQ(calls[1], "job 21 7");
    EXPECT_EQ(calls[2], "job 21 3");
    EXPECT_EQ(record(port)->job_id, 0u);
}

TEST_F(LmSessions, JobThatWroteDataEndsTheUnderlyingDocumentOneCycleLater) {
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 30));
    DWORD written = 0;
    ASSERT_TRUE(write(port, 10, &written));
    EXPECT_EQ(written, 10u);
    EXPECT_TRUE(qormon_has(record(port), QORMON_DATA_SENT));
    ASSERT_TRUE(QORMonEndDocPort(port));
    EXPECT_EQ(spooler().count("job 30 7"), 1u);
    EXPECT_EQ(spooler().count("job 30 3"), 1u);
    ASSERT_TRUE(polling_ended(port));
    EXPECT_EQ(monitor().count("end"), 1u);
    EXPECT_FALSE(qormon_has(record(port), QORMON_PORT_STARTED));
    EXPECT_EQ(spooler().count("status 0 level 0 command 4"), 1u);
    EXPECT_EQ(record(port)->printer, nullptr);
}

TEST_F(LmSessions, FallbackPrinterHandleIsClosedByTheOperationThatOpenedIt) {
    spooler().open_full_ok = false;
    HANDLE port = open("USB001");
    ASSERT_TRUE(start(port, 4));
    QORMonEndDocPort(port);
    const auto calls = spooler().snapshot();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1], "open-plain ZEM");
    EXPECT_EQ(calls[4], "close");
    EXPECT_EQ(record(port)->printer, nullptr);
}

TEST_F(LmSessions, ComPortStillStartedIsReusedOtherPortsAreRestarted) {
    for (const char* name : {"COM1", "LPT1"}) {
        monitor().reset();
        HANDLE port = open(name);
        ASSERT_TRUE(request(port, "StartDocPort"));  // leaves the port started
        ASSERT_EQ(monitor().count("start -1 3"), 1u);
        ASSERT_TRUE(start(port, 7));
        const bool serial = std::string(name) == "COM1";
        EXPECT_EQ(monitor().count("end"), serial ? 0u : 1u) << name;
        EXPECT_EQ(monitor().count("start 7 1"), serial ? 0u : 1u) << name;
        QORMonEndDocPort(port);
        close(port);
    }
}

TEST_F(LmSessions, LargeWriteAfterCancelReportsSuccessWithoutWritingAndFreesTheLock) {
    HANDLE port = open("USB001");
    ASSERT_TRUE(start(port, 8));
    SetLastError(ERROR_PRINT_CANCELLED);
    DWORD written = 99;
    EXPECT_TRUE(write(port, 5000, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(monitor().count("write 5000"), 0u);
    bool other_thread_wrote = false;
    std::thread([&] { other_thread_wrote = write(port, 3) == TRUE; }).join();
    EXPECT_TRUE(other_thread_wrote);
    SetLastError(ERROR_PRINT_CANCELLED);
    EXPECT_TRUE(write(port, 4096, &written));  // not above the limit: written
    EXPECT_EQ(written, 4096u);
    QORMonEndDocPort(port);
}

TEST_F(LmSessions, WritesToAPortThatIsNotStartedReportNothingWritten) {
    HANDLE port = open("USB001");
    DWORD written = 99;
    EXPECT_FALSE(write(port, 4, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(monitor().count("write 4"), 0u);
}

TEST_F(LmSessions, AJobNamingAnotherPrinterReplacesTheNameAndDropsTheHandle) {
    HANDLE port = open("USB001", nullptr, true, "First");
    ASSERT_TRUE(start(port, 1, "First"));
    QORMonEndDocPort(port);  // empty job: opens and keeps a full-access handle
    ASSERT_NE(record(port)->printer, nullptr);
    ASSERT_TRUE(start(port, 2, "Second"));
    EXPECT_EQ(record(port)->printer, nullptr);
    EXPECT_EQ(spooler().count("close"), 1u);
    EXPECT_EQ(std::u16string(record(port)->printer_name), u"Second");
    QORMonEndDocPort(port);
    EXPECT_EQ(spooler().count("open-full Second"), 1u);
}

TEST_F(LmSessions, CloseReturnsOnlyAfterThePollingThreadHasEnded) {
    monitor().read_delay_ms = 100;
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 3));
    write(port, 1);
    ASSERT_TRUE(qortest::eventually([] { return monitor().reads.load() > 0; }));
    close(port);
    std::lock_guard lock(monitor().mutex);
    EXPECT_GT(monitor().close_sequence, monitor().last_read_sequence);
    const int reads = monitor().reads.load();
    monitor().mutex.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    monitor().mutex.lock();
    EXPECT_EQ(monitor().reads.load(), reads);
}

TEST_F(LmSessions, ShutdownFreesTheMonitorBlockAndPassesOnGlobalFreesResult) {
    HGLOBAL monitor = GlobalAlloc(GPTR, 16);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(QORMonShutdown(monitor), nullptr);  // freed
    EXPECT_EQ(QORMonShutdown(monitor), monitor);  // no longer a block: GlobalFree hands it back
}

TEST_F(LmSessions, CloseRightAfterAStartWaitsForTheThreadItJustCreated) {
    for (int round = 0; round < 6; ++round) {
        HANDLE port = open("USB001");
        ASSERT_NE(port, nullptr);
        ASSERT_TRUE(start(port, DWORD(round + 1)));
        close(port);  // the record is freed only once the new thread has ended
    }
    EXPECT_EQ(monitor().count("close"), 6u);
}
