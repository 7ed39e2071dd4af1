// qorcsp: the service that serves the state of every ZEM-D printer. An
// installer runs it with /Service (register) or /UnregServer (remove); the
// service control manager runs it without arguments.
#include "endpoints.h"
#include "printer_state.h"
#include "qor/service.h"
#include "qor/support/version.h"
#include "registration.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <thread>
#include <unistd.h>

using namespace qorcsp;

namespace {

SERVICE_STATUS_HANDLE status_handle;
std::atomic<Endpoints*> endpoints{nullptr};

void report(DWORD state, DWORD accepted, DWORD error = 0) {
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, state, accepted, error, 0, 0, 0};
    SetServiceStatus(status_handle, &status);
}

void handler(DWORD control) {
    if (control != SERVICE_CONTROL_STOP) return;
    report(SERVICE_STOP_PENDING, 0);
    if (Endpoints* e = endpoints.load()) e->stop();
}

std::string current_json() {
    std::vector<PrinterState> states;
    bool ok = read_states(states);
    return render_json(states, ok);
}

std::string current_metrics() {
    std::vector<PrinterState> states;
    bool ok = read_states(states);
    return render_metrics(states, ok);
}

void service_main(DWORD, LPSTR*) {
    status_handle = RegisterServiceCtrlHandlerA(kServiceName, handler);
    if (!status_handle) return;
    Endpoints served(current_json, current_metrics);
    if (!served.open()) {
        report(SERVICE_STOPPED, 0, ERROR_GEN_FAILURE);
        return;
    }
    endpoints = &served;
    report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
    served.serve();
    endpoints = nullptr;
    report(SERVICE_STOPPED, 0);
}

std::string own_path() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return path;
}

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: qorcsp /Service | /UnregServer\n"
                 "  /Service      register the service QORCSP with the service control manager\n"
                 "  /UnregServer  stop and remove the service\n"
                 "Run by the service control manager, it serves the state of every QOR ZEM-D printer:\n"
                 "JSON on $QOR_RUNTIME_DIR/qorcsp.sock, text metrics on 127.0.0.1 (QOR_CSP_PORT).\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        usage(stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("qorcsp %s\n", qor::kSuiteVersion);
        return 0;
    }
    if (argc == 2 && (!strcasecmp(argv[1], "/Service") || !strcasecmp(argv[1], "-Service"))) {
        if (register_service(own_path())) return 0;
        std::fprintf(stderr, "qorcsp: cannot register the service %s (error %u)\n", kServiceName,
                     unsigned(GetLastError()));
        return 1;
    }
    if (argc == 2 && (!strcasecmp(argv[1], "/UnregServer") || !strcasecmp(argv[1], "-UnregServer"))) {
        if (unregister_service()) return 0;
        std::fprintf(stderr, "qorcsp: cannot remove the service %s (error %u)\n", kServiceName,
                     unsigned(GetLastError()));
        return 1;
    }
    if (argc != 1) {
        usage(stderr);
        return 2;
    }
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<LPSTR>(kServiceName), service_main}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherA(table)) return 0;
    std::fprintf(stderr, "qorcsp: not started by the service control manager; see --help\n");
    return 2;
}
