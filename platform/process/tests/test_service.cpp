// The service control manager with real service processes under the
// supervisor: registering, starting, stopping, crashing.
#include "qor/service.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

namespace {

struct Manager {
    SC_HANDLE handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ~Manager() { CloseServiceHandle(handle); }
};

SC_HANDLE create_service(SC_HANDLE manager, const std::string& command) {
    return CreateServiceA(manager, "TESTSVC", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                          SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                          nullptr, nullptr);
}

// The test service, writing its pid to `pid_file`.
SC_HANDLE create_helper_service(SC_HANDLE manager, const std::string& pid_file) {
    return create_service(manager, "\"" + qortest::bin_dir() + "/qortest_helper_service\" \"" + pid_file + "\"");
}

DWORD state_of(SC_HANDLE service) {
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    return status.dwCurrentState;
}

pid_t pid_in(const std::string& file) {
    int pid = 0;
    std::ifstream(file) >> pid;
    return pid;
}

// Stops a started service and waits until it is gone.
void stop(SC_HANDLE service) {
    SERVICE_STATUS status{};
    EXPECT_TRUE(qortest::eventually([&] { return state_of(service) == SERVICE_RUNNING; }));
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        EXPECT_TRUE(qortest::eventually([&] { return state_of(service) == SERVICE_STOPPED; }));
    }
}

}  // namespace

TEST(ServiceManager, RecordsAreCreatedOnceOpenedAndDeleted) {
    Manager m;
    ASSERT_NE(nullptr, m.handle);
    SC_HANDLE s = CreateServiceA(m.handle, "TESTSVC", "Test service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/bin/true", nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, s);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(nullptr, CreateServiceA(m.handle, "testsvc", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/bin/true", nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_EXISTS), GetLastError());
    SC_HANDLE again = OpenServiceA(m.handle, "TestSvc", SERVICE_ALL_ACCESS);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), state_of(again));
    SERVICE_STATUS status{};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(ControlService(again, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(DWORD(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    EXPECT_TRUE(DeleteService(again));
    EXPECT_TRUE(CloseServiceHandle(again));
    EXPECT_TRUE(CloseServiceHandle(s));
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(CloseServiceHandle(s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, OpenServiceA(m.handle, "TESTSVC", SERVICE_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
}

TEST(ServiceManager, StartedServiceRunsStopsOnRequestAndStartsAgain) {
    Manager m;
    std::string pid_file = qortest::sandbox() + "/service.pid";
    SC_HANDLE s = create_helper_service(m.handle, pid_file);
    ASSERT_NE(nullptr, s);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(StartServiceA(s, 0, nullptr)) << GetLastError();
        EXPECT_TRUE(qortest::eventually([&] { return state_of(s) == SERVICE_RUNNING; }));
        SetLastError(qortest::kStaleError);
        EXPECT_FALSE(StartServiceA(s, 0, nullptr));
        EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());
        pid_t pid = pid_in(pid_file);
        ASSERT_GT(pid, 0);
        SERVICE_STATUS status{};
        ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &status));
        EXPECT_TRUE(qortest::eventually([&] { return state_of(s) == SERVICE_STOPPED; }));
        // The service's process itself has ended.
        EXPECT_TRUE(qortest::eventually([&] { return kill(pid, 0) != 0; }));
    }
    CloseServiceHandle(s);
}

TEST(ServiceManager, CrashedServiceIsReportedStopped) {
    Manager m;
    std::string pid_file = qortest::sandbox() + "/service.pid";
    SC_HANDLE s = create_helper_service(m.handle, pid_file);
    ASSERT_TRUE(StartServiceA(s, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(qortest::eventually([&] { return state_of(s) == SERVICE_RUNNING; }));
    ASSERT_EQ(0, kill(pid_in(pid_file), SIGKILL));
    EXPECT_TRUE(qortest::eventually([&] { return state_of(s) == SERVICE_STOPPED; }));
    // And it can be started afresh.
    ASSERT_TRUE(StartServiceA(s, 0, nullptr)) << GetLastError();
    stop(s);
    CloseServiceHandle(s);
}

TEST(ServiceManager, ProgramsThatAreNoServicesFailToStart) {
    Manager m;
    struct Case {
        const char* command;
        DWORD error;
    } cases[] = {{"/bin/true", ERROR_SERVICE_REQUEST_TIMEOUT}, {"/no/such/program", ERROR_FILE_NOT_FOUND}};
    for (const Case& c : cases) {
        SC_HANDLE s = create_service(m.handle, c.command);
        ASSERT_NE(nullptr, s);
        SetLastError(qortest::kStaleError);
        EXPECT_FALSE(StartServiceA(s, 0, nullptr)) << c.command;
        EXPECT_EQ(c.error, GetLastError()) << c.command;
        EXPECT_EQ(DWORD(SERVICE_STOPPED), state_of(s));
        DeleteService(s);
        CloseServiceHandle(s);
    }
    // A program started by hand is not connected to the manager.
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<LPSTR>("X"), [](DWORD, LPSTR*) {}}, {nullptr, nullptr}};
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(DWORD(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
}
