// Opening and closing sessions: the printer lookup, the system-wide session
// mutex, the greeting, the session handle check, null pointers.
#include "cil_test.h"

#include "common/status.h"

#include <cstdlib>
#include <future>
#include <thread>

using namespace ciltest;
using namespace std::chrono_literals;


TEST_F(CilTest, OpenGreetsThePrinterAndCloseFreesTheSessionName) {
    HANDLE session = open_session();
    const auto staged = monitor_->staged();
    ASSERT_EQ(staged.size(), 1u);
    EXPECT_EQ(staged[0], (Bytes{0x1D, 0x61, 0x1E, 0x13, 0x28, 0x28, 'Q', 'O', 'R', 0x29}));
    EXPECT_TRUE(session_name_exists());
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    EXPECT_FALSE(session_name_exists());
    // Every connect was matched by its end request and close.
    EXPECT_EQ(requests(qor::names::kRequestStartDocPort), requests(qor::names::kRequestEndDocPort));
    EXPECT_EQ(spooler().count("open ZEM1 Front"), spooler().count("close"));
}

TEST_F(CilTest, LookupComparesTheFirstFourCharactersAndTheDriver) {
    spooler().set_printers({{"ZEM1 Front"}, {"ZEM2 Back", "Other Driver"}});
    HANDLE session = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(OpenQorPrinterA("zem1 Front", &session), QORCIL_E_NO_SUCH_PRINTER);  // case counts
    EXPECT_EQ(session, nullptr);
    EXPECT_EQ(OpenQorPrinterA("ZEM2 Back", &session), QORCIL_E_NO_SUCH_PRINTER);  // not a QOR ZEM driver
    EXPECT_EQ(OpenQorPrinterA("ZEM", &session), QORCIL_E_NO_SUCH_PRINTER);
    // Four matching characters pass the lookup; the spooler's open then
    // fails and the session is closed again.
    EXPECT_EQ(OpenQorPrinterA("ZEM1 Rear", &session), DWORD(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(session, nullptr);
    EXPECT_FALSE(session_name_exists());
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_OK);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, NullPointersAndNames) {
    HANDLE session = nullptr;
    EXPECT_EQ(OpenQorPrinterA(kPrinter, nullptr), QORCIL_E_NULL_POINTER);
    EXPECT_EQ(OpenQorPrinterA(nullptr, &session), QORCIL_E_NULL_NAME);
    EXPECT_EQ(OpenQorPrinterW(nullptr, &session), QORCIL_E_NULL_NAME);
    EXPECT_FALSE(CILStartSessionA(nullptr, &session));
    session = open_session();
    EXPECT_EQ(GetQorPrinterStatus(session, nullptr, 1), QORCIL_E_NULL_POINTER);
    DWORD word = 7;
    EXPECT_EQ(GetQorPrinterData(session, 1, 2, &word), QORCIL_E_NOT_SUPPORTED);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(GetQorPrinterData(session, 1, 2, nullptr), QORCIL_E_NOT_SUPPORTED);
    // Null out counts are simply not filled.
    const BYTE byte = 0x0A;
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, nullptr, nullptr, 0, nullptr), QORCIL_OK);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, SecondOpenInTheProcessAndAnOpenElsewhere) {
    HANDLE session = open_session();
    HANDLE second = nullptr;
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &second), QORCIL_E_BUSY_HERE);
    EXPECT_FALSE(CILStartSessionA(kPrinter, &second));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);

    qortest::Child holder = hold_mutex(qor::names::kOpenSessionMutex);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &second), QORCIL_E_BUSY_ELSEWHERE);
    EXPECT_LT(since(start), 1000ms);
    holder.kill();
    // The killed holder leaves nothing behind.
    EXPECT_TRUE(CILStartSessionA(kPrinter, &second));
    EXPECT_TRUE(CILEndSession(second));
}

TEST_F(CilTest, HandleCheckRefusesDeadHandlesAndGivesBackItsHolds) {
    HANDLE session = open_session();
    DWORD status = 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(GetQorPrinterStatus(session, &status, 1), QORCIL_OK);
    // From another thread the check waits its 100 ms and lets the call on.
    std::async(std::launch::async, [&] {
        EXPECT_EQ(GetQorPrinterStatus(session, &status, 1), QORCIL_OK);
    }).get();
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    // One release at close was enough: nobody keeps the name.
    EXPECT_FALSE(session_name_exists());
    EXPECT_EQ(GetQorPrinterStatus(session, &status, 1), QORCIL_E_INVALID_SESSION);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_E_INVALID_SESSION);
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, nullptr, 0, nullptr), QORCIL_E_INVALID_SESSION);
    EXPECT_EQ(CloseQorPrinter(nullptr), QORCIL_E_INVALID_SESSION);
    EXPECT_FALSE(CILEndSession(reinterpret_cast<HANDLE>(0x7777)));
}

TEST_F(CilTest, SessionOpenedOnAThreadThatStaysAliveIsFreedByACloseElsewhere) {
    std::promise<HANDLE> opened;
    std::promise<void> finish;
    std::thread opener([&] {
        HANDLE session = nullptr;
        EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_OK);
        opened.set_value(session);
        finish.get_future().wait();
    });
    HANDLE session = opened.get_future().get();
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    // The opener still owns the mutex it closed, yet the name is gone, so
    // the next session opens at once.
    EXPECT_FALSE(session_name_exists());
    HANDLE next = nullptr;
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &next), QORCIL_OK);
    EXPECT_EQ(CloseQorPrinter(next), QORCIL_OK);
    finish.set_value();
    opener.join();
}

TEST_F(CilTest, WideNameIsConvertedToTheAnsiCodePage) {
    HANDLE session = nullptr;
    EXPECT_EQ(OpenQorPrinterW(u"ZEM1 Front", &session), QORCIL_OK);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    EXPECT_TRUE(CILStartSessionW(u"ZEM1 Front", &session));
    EXPECT_TRUE(CILEndSession(session));
    EXPECT_FALSE(CILStartSessionW(u"Nothing", &session));
}

TEST_F(CilTest, FailedGreetingClosesTheSession) {
    // The printer takes 6 of the 10 bytes, then nothing.
    monitor_->set_send_answer([](size_t n, DWORD) { return Answer{0, n == 0 ? 6u : 0u}; });
    HANDLE session = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_E_GREETING_INCOMPLETE);
    EXPECT_EQ(session, nullptr);
    EXPECT_FALSE(session_name_exists());
    // A printer that does not answer cannot be greeted either.
    monitor_->set_send_answer(nullptr);
    monitor_->set_answers(false);
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_E_NO_ANSWER);
}

TEST_F(CilTest, CallsWithoutTheLibraryStateAreRefused) {
    qor::cil::detach();
    HANDLE session = nullptr;
    DWORD status = 0;
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_E_NO_LIBRARY_STATE);
    EXPECT_EQ(GetQorPrinterStatus(session, &status, 1), QORCIL_E_NO_LIBRARY_STATE);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_E_NO_LIBRARY_STATE);
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, nullptr, 0, nullptr), QORCIL_E_NO_LIBRARY_STATE);
}

TEST_F(CilTest, Windows98ConnectSetsTheDeviceNotSelectedTimeOut) {
    qor::cil::detach();
    setenv("QOR_PLATFORM_VERSION", "4.10", 1);
    ASSERT_TRUE(qor::cil::attach());
    unsetenv("QOR_PLATFORM_VERSION");
    HANDLE session = open_session();
    EXPECT_EQ(spooler().count("set-5 1000"), 1u);  // once: later connects find it set
    DWORD status = 0;
    EXPECT_EQ(GetQorPrinterStatus(session, &status, 1), QORCIL_OK);
    EXPECT_EQ(spooler().count("set-5 1000"), 1u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}
