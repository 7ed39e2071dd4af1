// The system-wide request mutex held by another process for longer than a
// worker waits: every call returns within its bound, nothing reaches the
// monitor side meanwhile, and a mutex its killed holder abandoned is taken.
#include "cil_test.h"

#include "common/status.h"

using namespace ciltest;
using namespace std::chrono_literals;
namespace names = qor::names;

TEST_F(CilTest, RequestMutexHeldElsewhereBoundsEveryCall) {
    HANDLE session = open_session();
    qortest::Child holder = hold_mutex(names::kRequestMutex);

    DWORD status = 0x1234;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_E_STATUS_LOCKED);
    EXPECT_LT(since(start), 1500ms);
    EXPECT_EQ(status, 0u);

    const BYTE byte = 0x0A;
    DWORD sent = 5;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, &sent, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_GE(since(start), 1900ms);  // the worker's 2000 ms, not the caller's 3000 ms slice
    EXPECT_LT(since(start), 2900ms);
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(state().send_requests.latest()->error.load(), QORCIL_E_DATA_LOCKED);

    BYTE buffer[8];
    DWORD received = 5;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, buffer, sizeof buffer, &received), QORCIL_OK);
    EXPECT_LT(since(start), 1500ms);
    EXPECT_EQ(received, 0u);

    auto late_status = state().status_requests.latest();
    auto late_receive = state().receive_requests.latest();
    ASSERT_TRUE(qortest::eventually([&] { return late_status->ended.load() && late_receive->ended.load(); }));
    EXPECT_EQ(late_status->error.load(), QORCIL_E_STATUS_LOCKED);
    EXPECT_EQ(late_receive->error.load(), QORCIL_E_DATA_LOCKED);
    EXPECT_EQ(requests(names::kRequestGetStatus), 0u);
    EXPECT_EQ(requests(names::kRequestSendData), 1u);  // the greeting's
    EXPECT_EQ(requests(names::kRequestGetData), 0u);

    holder.kill();
    EXPECT_EQ(GetQorPrinterStatus(session, &status, QORCIL_CURRENT), QORCIL_OK);
    EXPECT_EQ(requests(names::kRequestGetStatus), 2u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}
