// qorsvchost <service>: the supervisor of one started service. Detaches
// from its starter, runs the service's command line with the service's name
// in its environment, and reports the service stopped when its process
// ends, however it ends. Started by StartServiceA only.
#include "qor/process.h"
#include "qor/support/places.h"
#include "service_record.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace qor::service;

namespace {

// The supervisor's environment with the service's name added, as a block.
std::string service_environment(const std::string& name) {
    std::string block;
    std::string prefix = std::string(kServiceNameVariable) + "=";
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) == 0) continue;
        block += *e;
        block += '\0';
    }
    block += prefix + name;
    block += '\0';
    return block;
}

// Standard input and output go nowhere; errors to <runtime>/<service>.log.
void quiet_descriptors(const std::string& name) {
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    std::string log = qor::places::runtime_dir() + "/" + name + ".log";
    int err = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        if (err < 0) dup2(null, 2);
        close(null);
    }
    if (err >= 0) {
        dup2(err, 2);
        close(err);
    }
}

void stopped(ServiceLink& link, DWORD error) {
    SharedRecord& record = link.record();
    if (record.state.load() != SERVICE_STOPPED) {
        record.win32_exit_code.store(error);
        record.state.store(SERVICE_STOPPED);
    }
    link.announce_change();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qorsvchost SERVICE (started by the service control manager)\n");
        return 2;
    }
    std::string name = argv[1];
    // The starter waits for this first process only; the supervisor proper
    // runs on in its own session.
    pid_t child = fork();
    if (child < 0) return 1;
    if (child > 0) return 0;
    setsid();
    quiet_descriptors(name);

    ServiceLink link(name, ServiceLink::Mode::Open);
    if (!link.valid()) return 1;
    link.record().supervisor_pid.store(uint32_t(getpid()));
    std::string command = image_path(name);
    std::string environment = service_environment(name);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (command.empty() || !CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                                           nullptr, &startup, &info)) {
        stopped(link, command.empty() ? ERROR_SERVICE_DOES_NOT_EXIST : GetLastError());
        return 1;
    }
    CloseHandle(info.hThread);
    link.record().service_pid.store(info.dwProcessId);
    link.announce_change();
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    // A service that ends without reporting itself stopped has failed.
    stopped(link, ERROR_PROCESS_ABORTED);
    return 0;
}
