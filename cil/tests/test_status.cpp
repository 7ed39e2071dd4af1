// GetQorPrinterStatus: the connect, the two passes of the status worker and
// what the caller makes of its wait.
#include "cil_test.h"

#include "common/status.h"

#include <algorithm>
#include <future>
#include <thread>

using namespace ciltest;
using namespace std::chrono_literals;
namespace names = qor::names;

TEST_F(CilTest, StatusIsRequestedTwiceAndTheLastWordIsReported) {
    HANDLE session = open_session();
    size_t passes = 0;
    monitor_->set_hook([&](const std::string& request) {
        if (request == names::kRequestGetStatus) monitor_->set_status(++passes == 1 ? 0x10 : 0x40000000);
    });
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_OK);
    EXPECT_EQ(status, QORCIL_STATUS_PAPER_NEAR_END);
    EXPECT_EQ(requests(names::kRequestGetStatus), 2u);
    EXPECT_EQ(requests(names::kRequestGetHistory), 0u);
    // Connect asked whether the printer answers before the query.
    const auto calls = spooler().calls();
    const auto check = std::find(calls.rbegin(), calls.rend(), "request QOR_CheckConnection");
    const auto query = std::find(calls.rbegin(), calls.rend(), "request QOR_GetStatusRequest");
    EXPECT_GT(check - calls.rbegin(), query - calls.rbegin());
    EXPECT_TRUE(CILGetPrinterStatus(session, &status, QORCIL_CURRENT));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, OptionZeroSendsTheHistoryRequest) {
    HANDLE session = open_session();
    monitor_->set_status(QORCIL_STATUS_COVER_OPEN);
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_HISTORY), QORCIL_OK);
    EXPECT_EQ(status, QORCIL_STATUS_COVER_OPEN);
    EXPECT_EQ(requests(names::kRequestGetHistory), 2u);
    EXPECT_EQ(requests(names::kRequestGetStatus), 0u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, APrinterThatDoesNotAnswerGivesTheNoAnswerWordWithSuccess) {
    HANDLE session = open_session();
    monitor_->set_answers(false);
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_OK);
    EXPECT_EQ(status, QORCIL_STATUS_NO_ANSWER);
    EXPECT_EQ(requests(names::kRequestGetStatus), 0u);  // refused at connect
    // Answering again is seen at the next connect.
    monitor_->set_answers(true);
    monitor_->set_status(0);
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, APrinterFallingSilentDuringTheQueryIsNotReportedReady) {
    HANDLE session = open_session();
    monitor_->set_status(QORCIL_STATUS_PAPER_OUT);
    monitor_->set_hook([&](const std::string& request) {
        if (request == names::kRequestGetStatus) monitor_->set_answers(false);
    });
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_OK);
    EXPECT_EQ(status, QORCIL_STATUS_NO_ANSWER);
    monitor_->set_hook(nullptr);
    monitor_->set_answers(true);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, DirectPrinterIsRefusedAtConnect) {
    HANDLE session = open_session();
    auto printers = spooler().printers();
    printers[0].attributes |= PRINTER_ATTRIBUTE_DIRECT;
    spooler().set_printers(printers);
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_E_DIRECT_PRINTING);
    EXPECT_EQ(status, 0u);
    const BYTE byte = 0x0A;
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, nullptr, nullptr, 0, nullptr), QORCIL_E_DIRECT_PRINTING);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    EXPECT_EQ(spooler().count("open ZEM1 Front"), spooler().count("close"));
}

TEST_F(CilTest, StatusWhoseWaitRunsOutIsAFailureNotAReadyPrinter) {
    HANDLE session = open_session();
    Gate gate;
    monitor_->set_hook([released = gate.waiter()](const std::string& request) {
        if (request == names::kRequestGetStatus) released.wait();
    });
    DWORD status = 0x1234;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), DWORD(ERROR_TIMEOUT));
    EXPECT_EQ(status, 0u);
    EXPECT_LT(since(start), 1500ms);
    gate.open();
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, FailedStatusRequestsAreReportedNotTakenForAReadyPrinter) {
    HANDLE session = open_session();
    spooler().set_monitor([this](const std::string& request) {
        if (request == names::kRequestGetStatus) return Answer{ERROR_NOT_READY, 0, 0};
        return monitor_->answer(request);
    });
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), DWORD(ERROR_NOT_READY));
    EXPECT_FALSE(CILGetPrinterStatus(session, &status, QORCIL_CURRENT));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, ASecondQueryWhileOneRunsIsBusy) {
    HANDLE session = open_session();
    HeldQuery first(*monitor_, session);
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_E_STATUS_BUSY);
    EXPECT_EQ(first.release(), QORCIL_OK);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}
