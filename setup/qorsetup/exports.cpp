// QorSetup's entries for an installation program. Each takes one ignored
// 32-bit argument; failures are results, never messages.
#include "driver_check.h"
#include "qor/guard.h"
#include "qor/service.h"
#include "qor/sysinfo.h"
#include "service_program.h"

#include <unistd.h>

using namespace qorsetup;

namespace {

// Starts the registered service; true when it started.
bool start_registered_service() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    bool started = false;
    if (SC_HANDLE service = OpenServiceA(manager, "QORCSP", SERVICE_ALL_ACCESS)) {
        started = StartServiceA(service, 0, nullptr);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return started;
}

}  // namespace

extern "C" QORAPI BOOL RegService(DWORD) {
    return qor::guarded(BOOL(FALSE), []() -> BOOL {
        std::string program = find_service_program();
        if (program.empty()) return FALSE;
        if (run_service_program(program, " /Service") != RunResult::Finished) return FALSE;
        Sleep(50);
        return start_registered_service() ? TRUE : FALSE;
    });
}

extern "C" QORAPI BOOL UnregService(DWORD) {
    return qor::guarded(BOOL(FALSE), []() -> BOOL {
        std::string program = find_service_program();
        if (program.empty()) return FALSE;
        if (run_service_program(program, " /UnregServer") == RunResult::NotStarted) return FALSE;
        Sleep(50);
        return TRUE;
    });
}

extern "C" QORAPI int IsExistDriver(DWORD) {
    return qor::guarded(-1, []() -> int { return find_family_driver(); });
}
