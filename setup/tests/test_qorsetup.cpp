// QorSetup as an installer calls it: the service program found in the
// system folder, run with its switches and waited for, and the driver check
// against a private spooler.
#include "qor/service.h"
#include "qor/spooler.h"
#include "setup_testing.h"
#include "spool_testing.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

using setuptest::QorSetup;

namespace {

bool service_registered() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "QORCSP", SERVICE_ALL_ACCESS);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

std::vector<std::string> lines_of(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(QorSetup, WithoutTheServiceProgramNothingIsStarted) {
    QorSetup setup;
    EXPECT_FALSE(setup.reg_service(0));
    EXPECT_FALSE(setup.unreg_service(0));
    EXPECT_FALSE(service_registered());
}

TEST(QorSetup, AServiceProgramThatOutrunsTheWaitLeavesTheServiceAlone) {
    QorSetup setup;
    std::string log = qortest::sandbox() + "/runs.txt";
    // Each run records its switch and pid, then outlasts the 10 s wait.
    setuptest::install_script("echo \"$1 $$\" >> " + log + "\nexec sleep 30");
    BOOL registered = TRUE, unregistered = FALSE;
    // Both waits at once, so the test takes 10 s and not 20.
    std::thread reg([&] { registered = setup.reg_service(0); });
    std::thread unreg([&] { unregistered = setup.unreg_service(0); });
    reg.join();
    unreg.join();
    EXPECT_FALSE(registered);
    EXPECT_TRUE(unregistered);
    EXPECT_FALSE(service_registered());
    std::vector<std::string> runs = lines_of(log);
    ASSERT_EQ(2u, runs.size());
    std::sort(runs.begin(), runs.end());
    EXPECT_EQ(0u, runs[0].rfind("/Service ", 0));
    EXPECT_EQ(0u, runs[1].rfind("/UnregServer ", 0));
    for (const std::string& run : runs) kill(std::atoi(run.substr(run.find(' ') + 1).c_str()), SIGKILL);
}

TEST(QorSetup, RealServiceProgramIsRegisteredStartedAndRemoved) {
    setenv("QOR_CSP_PORT", "0", 1);
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    QorSetup setup;
    setuptest::install_real_service_program();
    ASSERT_TRUE(setup.reg_service(0));
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "QORCSP", SERVICE_QUERY_STATUS);
    ASSERT_NE(nullptr, service);
    SERVICE_STATUS status{};
    EXPECT_TRUE(qortest::eventually([&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    }));
    // Unregistering stops it first.
    EXPECT_TRUE(setup.unreg_service(0));
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), status.dwCurrentState);
    EXPECT_FALSE(service_registered());
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(QorSetup, DriverCheckFindsOnlyTheZemDFamily) {
    qorspool::PrivateSpooler spooler;
    ASSERT_TRUE(spooler.ok());
    QorSetup setup;
    EXPECT_EQ(0, setup.is_exist_driver(0));
    ASSERT_TRUE(spooler.add_printer("Other", "FILE:", spooler.output_path(), "QOR ZEM-X"));
    ASSERT_TRUE(spooler.add_printer("Short", "FILE:", spooler.output_path(), "QOR ZEM"));
    EXPECT_EQ(0, setup.is_exist_driver(0));
    ASSERT_TRUE(spooler.add_printer("QOR ZEM-Dx10P", "FILE:", spooler.output_path(), "QOR ZEM-Dx10P"));
    EXPECT_EQ(1, setup.is_exist_driver(0));
}

TEST(QorSetup, DriverCheckReportsAnUnreadableList) {
    setenv("QOR_SPOOLER_NO_AUTOSTART", "1", 1);
    QorSetup setup;
    EXPECT_EQ(-1, setup.is_exist_driver(0));
}
