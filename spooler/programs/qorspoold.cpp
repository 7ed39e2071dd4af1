// qorspoold, the print spooler service.
#include "activation.h"
#include "admission.h"
#include "emulator_device.h"
#include "server.h"
#include "service.h"
#include "system_folders.h"

#include "common/error_text.h"
#include "qor/support/places.h"
#include "qor/support/version.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

qor::spooler::Server* running_server = nullptr;

void on_signal(int) {
    if (running_server) running_server->request_stop();
}

void usage() {
    std::puts(
        "usage: qorspoold [--system] [--auto] [--idle SECONDS] [--retry MS]\n"
        "       qorspoold --help | --version\n"
        "\n"
        "The print spooler service. It serves the spooler API on the socket\n"
        "qorspoold.sock in $QOR_RUNTIME_DIR and keeps its printers in the machine\n"
        "registry and its jobs under $QOR_ROOT/spool. Clients start it on demand;\n"
        "'qorctl start' and 'qorctl stop' start and stop it by hand.\n"
        "\n"
        "  --system        the system-wide spooler for every member of the group qor\n"
        "                  ($QOR_GROUP): state under /var/lib/qor, socket and named\n"
        "                  objects under /run/qor ($QOR_SYSTEM_ROOT, $QOR_SYSTEM_RUNTIME_DIR);\n"
        "                  takes the socket from the service manager when it passes one\n"
        "                  (LISTEN_FDS) and then ends when idle like --auto\n"
        "  --auto          started on demand: end after a spell with no clients and no jobs\n"
        "  --idle SECONDS  length of that spell (default 300)\n"
        "  --retry MS      wait before a job that failed on its port is tried again (default 5000)");
}

int usage_error(const std::string& why) {
    std::fprintf(stderr, "qorspoold: %s\nTry 'qorspoold --help'.\n", why.c_str());
    return 2;
}

bool number_arg(int& i, int argc, char** argv, int& out) {
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    long v = std::strtol(argv[++i], &end, 10);
    if (!end || *end || v < 0 || v > 86400000) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qor::spooler::ServerOptions server_options;
    qor::spooler::Service::Options service_options;
    if (const char* r = std::getenv("QOR_SPOOLER_RETRY_MS")) service_options.retry_ms = std::atoi(r);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--system") {
            server_options.system = true;
        } else if (a == "--auto") {
            server_options.auto_started = true;
        } else if (a == "--idle") {
            if (!number_arg(i, argc, argv, server_options.idle_seconds)) return usage_error("--idle needs SECONDS");
        } else if (a == "--retry") {
            if (!number_arg(i, argc, argv, service_options.retry_ms)) return usage_error("--retry needs MS");
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--version") {
            std::printf("qorspoold %s\n", qor::kSuiteVersion);
            return 0;
        } else {
            return usage_error("unknown argument '" + a + "'");
        }
    }
    if (server_options.system) {
        // Everything the service and its modules open follows the system
        // installation's places.
        setenv("QOR_MODE", "system", 1);
        setenv("QOR_ROOT", qor::places::system_root().c_str(), 1);
        setenv("QOR_RUNTIME_DIR", qor::places::system_runtime_dir().c_str(), 1);
        umask(022);
        server_options.members_group = qor::spooler::members_group();
        if (int e = qor::spooler::prepare_system_folders(server_options.members_group)) {
            std::fprintf(stderr, "qorspoold: cannot prepare %s and %s: %s\n", qor::places::system_root().c_str(),
                         qor::places::system_runtime_dir().c_str(), std::strerror(e));
            return 1;
        }
        if (auto fd = qor::spooler::take_activated_socket()) {
            server_options.passed_socket = *fd;
            server_options.auto_started = true;
        }
    }
    setenv("QOR_SPOOLER_NO_AUTOSTART", "1", 1);
    std::signal(SIGPIPE, SIG_IGN);

    qor::spooler::register_emulator_device_kind();
    qor::spooler::Service service(service_options);
    qor::spooler::Server server(service, server_options);
    if (int e = server.bind()) {
        if (e == EEXIST) {
            // Another instance serves this runtime folder already.
            if (!server_options.auto_started) std::fprintf(stderr, "qorspoold: already running\n");
            return server_options.auto_started ? 0 : 1;
        }
        std::fprintf(stderr, "qorspoold: cannot open the spooler socket: %s\n", std::strerror(e));
        return 1;
    }
    if (DWORD e = service.start()) {
        std::fprintf(stderr, "qorspoold: cannot load the printer database: %s\n", qor::errors::describe(e).c_str());
        return 1;
    }
    running_server = &server;
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    server.run();
    running_server = nullptr;
    service.stop();
    return 0;
}
