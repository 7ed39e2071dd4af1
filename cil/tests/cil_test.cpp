#include "cil_test.h"

#include "common/status.h"

namespace ciltest {

bool session_name_exists() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, qor::names::kOpenSessionMutex);
    if (mutex) CloseHandle(mutex);
    return mutex != nullptr;
}

qortest::Child hold_mutex(const char* name) {
    const std::string ready = std::string(name) + ".ready";
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    qortest::Child child = qortest::Child::spawn("qortest_helper_kernel", {"hold-mutex", name});
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    CloseHandle(event);
    return child;
}

HeldQuery::HeldQuery(MonitorSide& monitor, HANDLE session) {
    monitor.set_hook([this, &monitor, released = gate_.waiter()](const std::string& request) {
        if (request != qor::names::kRequestGetStatus) return;
        monitor.set_hook(nullptr);
        entered_.set_value();
        released.wait();
    });
    result_ = std::async(std::launch::async, [session] {
        DWORD status = 0;
        return GetQorPrinterStatus(session, &status, QORCIL_CURRENT);
    });
    entered_.get_future().wait();
}

DWORD HeldQuery::release() {
    gate_.open();
    return result_.get();
}

void CilTest::SetUp() {
    spooler().reset();
    spooler().set_printers({{kPrinter}});
    monitor_ = std::make_unique<MonitorSide>();
    spooler().set_monitor([this](const std::string& request) { return monitor_->answer(request); });
    ASSERT_TRUE(qor::cil::attach());
    state_ = qor::cil::library();
}

void CilTest::TearDown() {
    qor::cil::detach();
    // A worker that outlived its call keeps the state until it ends.
    EXPECT_TRUE(qortest::eventually([&] { return state_.use_count() == 1; }, std::chrono::seconds(15)));
    state_.reset();
    spooler().set_monitor(nullptr);
}

HANDLE CilTest::open_session() {
    HANDLE session = nullptr;
    EXPECT_EQ(OpenQorPrinterA(kPrinter, &session), QORCIL_OK);
    EXPECT_NE(session, nullptr);
    return session;
}

}  // namespace ciltest
