// The service side: the dispatcher, the control handler and status reports.
// One service per process, as the manager starts each in a process of its own.
#include "qor/guard.h"
#include "qor/service.h"
#include "service_record.h"

#include <cstdlib>
#include <memory>
#include <thread>

using namespace qor::service;

namespace {

struct Dispatcher {
    std::unique_ptr<ServiceLink> link;
    std::string name;
    std::atomic<LPHANDLER_FUNCTION> handler{nullptr};
};
// Set while StartServiceCtrlDispatcherA runs.
std::atomic<Dispatcher*> current{nullptr};

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

extern "C" QORAPI BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* table) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!table || !table[0].lpServiceProc) return fail(ERROR_INVALID_PARAMETER);
        const char* name = std::getenv(kServiceNameVariable);
        if (!name || !*name) return fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        Dispatcher dispatcher;
        dispatcher.name = name;
        dispatcher.link = std::make_unique<ServiceLink>(name, ServiceLink::Mode::Open);
        if (!dispatcher.link->valid()) return fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        Dispatcher* expected = nullptr;
        if (!current.compare_exchange_strong(expected, &dispatcher)) return fail(ERROR_SERVICE_ALREADY_RUNNING);
        SharedRecord& record = dispatcher.link->record();
        record.connected.store(1);
        dispatcher.link->announce_change();

        std::string argument = dispatcher.name;
        std::thread main_thread([&] {
            char* argv[] = {argument.data(), nullptr};
            table[0].lpServiceProc(1, argv);
        });
        // Control requests run the handler here, until the service reports
        // itself stopped.
        while (record.state.load() != SERVICE_STOPPED) {
            WaitForSingleObject(dispatcher.link->control_event(), INFINITE);
            DWORD control = record.pending_control.exchange(0);
            LPHANDLER_FUNCTION handler = dispatcher.handler.load();
            if (control && handler && record.state.load() != SERVICE_STOPPED) handler(control);
        }
        main_thread.join();
        current.store(nullptr);
        return TRUE;
    });
}

extern "C" QORAPI SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR, LPHANDLER_FUNCTION handler) {
    Dispatcher* dispatcher = current.load();
    if (!dispatcher) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    if (!handler) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    dispatcher->handler.store(handler);
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(dispatcher);
}

extern "C" QORAPI BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS status) {
    Dispatcher* dispatcher = current.load();
    if (!handle || reinterpret_cast<Dispatcher*>(handle) != dispatcher) return fail(ERROR_INVALID_HANDLE);
    if (!status || status->dwCurrentState < SERVICE_STOPPED || status->dwCurrentState > 7)
        return fail(ERROR_INVALID_PARAMETER);
    SharedRecord& record = dispatcher->link->record();
    record.controls_accepted.store(status->dwControlsAccepted);
    record.win32_exit_code.store(status->dwWin32ExitCode);
    record.service_exit_code.store(status->dwServiceSpecificExitCode);
    record.checkpoint.store(status->dwCheckPoint);
    record.wait_hint.store(status->dwWaitHint);
    record.state.store(status->dwCurrentState);
    dispatcher->link->announce_change();
    // Wakes the dispatcher, which returns once the service has stopped.
    if (status->dwCurrentState == SERVICE_STOPPED) SetEvent(dispatcher->link->control_event());
    return TRUE;
}
