// A service for the manager's tests: reports itself running, writes its pid
// to the file named by its argument, and stops on a stop request.
#include "qor/service.h"

#include <cstdio>
#include <unistd.h>

namespace {

SERVICE_STATUS_HANDLE status_handle;
HANDLE stop_event;
const char* pid_file;

void report(DWORD state, DWORD accepted) {
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, state, accepted, 0, 0, 0, 0};
    SetServiceStatus(status_handle, &status);
}

void handler(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING, 0);
        SetEvent(stop_event);
    }
}

void service_main(DWORD, LPSTR*) {
    status_handle = RegisterServiceCtrlHandlerA("", handler);
    if (!status_handle) return;
    if (FILE* f = std::fopen(pid_file, "w")) {
        std::fprintf(f, "%d\n", int(getpid()));
        std::fclose(f);
    }
    report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
    WaitForSingleObject(stop_event, INFINITE);
    report(SERVICE_STOPPED, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    pid_file = argv[1];
    stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<LPSTR>("TESTSVC"), service_main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
