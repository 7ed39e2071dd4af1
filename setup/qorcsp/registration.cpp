// The service's record in the manager.
#include "registration.h"

#include "qor/service.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace qorcsp {

namespace {

// How long an unregistration waits for the running service to stop.
constexpr auto kStopWait = std::chrono::seconds(5);

struct ManagerHandle {
    SC_HANDLE handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ~ManagerHandle() {
        if (handle) CloseServiceHandle(handle);
    }
};

bool wait_stopped(SC_HANDLE service) {
    auto until = std::chrono::steady_clock::now() + kStopWait;
    SERVICE_STATUS status{};
    while (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

bool register_service(const std::string& program) {
    ManagerHandle manager;
    if (!manager.handle) return false;
    std::string command = "\"" + program + "\"";
    SC_HANDLE service = CreateServiceA(manager.handle, kServiceName, "QOR ZEM-D printer state", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) return GetLastError() == ERROR_SERVICE_EXISTS;
    CloseServiceHandle(service);
    return true;
}

bool unregister_service() {
    ManagerHandle manager;
    if (!manager.handle) return false;
    SC_HANDLE service = OpenServiceA(manager.handle, kServiceName, SERVICE_ALL_ACCESS);
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status) && !wait_stopped(service))
        std::fprintf(stderr, "qorcsp: %s did not stop in time\n", kServiceName);
    bool deleted = DeleteService(service);
    CloseServiceHandle(service);
    return deleted;
}

}  // namespace qorcsp
