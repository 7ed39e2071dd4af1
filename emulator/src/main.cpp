// qoremu: a ZEM-D kiosk printer in software.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qor/support/places.h"
#include "qor/support/version.h"
#include "qoremu/control_client.h"
#include "qoremu/link.h"
#include "server.h"

namespace {

std::atomic<qoremu::Server*> g_server{nullptr};
volatile std::sig_atomic_t g_stop_requested = 0;

// A signal may come before the server exists (its sockets are visible as
// soon as they are made): it is remembered and honoured then.
void on_signal(int) {
    g_stop_requested = 1;
    if (qoremu::Server* server = g_server.load()) server->stop();
}

const char kHelp[] =
    "Usage: qoremu [options]\n"
    "A QOR ZEM-D kiosk printer in software: takes the printer's command stream\n"
    "on a Unix socket or a pseudo-terminal, answers status like the printer and\n"
    "writes every cut ticket as a PNG image (203 dpi).\n"
    "\n"
    "  --name NAME          printer name for the default paths (zemd)\n"
    "  --socket PATH        data socket (default $QOR_RUNTIME_DIR/qoremu/NAME.sock)\n"
    "  --no-socket          no data socket\n"
    "  --control PATH       control socket (default $QOR_RUNTIME_DIR/qoremu/NAME.ctl)\n"
    "  --pty                also serve a pseudo-terminal (data only, like a serial cable)\n"
    "  --pty-link PATH      keep a symbolic link at PATH pointing to the terminal\n"
    "  --tickets DIR        where tickets go (default $QOR_ROOT/qoremu/tickets)\n"
    "  --state FILE         setting bytes kept here (default $QOR_ROOT/qoremu/NAME.state;\n"
    "                       'none' keeps nothing)\n"
    "  --model MODEL        D510x (58 mm paper) or D610x (112 mm); factory settings\n"
    "  --baud BPS           throttle the line to BPS bits per second (e.g. 9600..38400)\n"
    "  --print-speed MM     print engine speed in mm per second (0 = no limit)\n"
    "  --rx-buffer BYTES    receive buffer size (8192)\n"
    "  --reset-time MS      time a hardware reset takes (300)\n"
    "  --raise CONDITION    start with a condition: offline paper-near-end paper-out\n"
    "                       cover-open paper-jam cutter-error auto-recovery-error\n"
    "                       fatal-error (may be repeated)\n"
    "  --silent             send nothing to the host\n"
    "  --command TEXT       send TEXT to the running emulator's control socket (the\n"
    "                       one --name or --control names), print its answer, exit\n"
    "  --render FILE        no transports: print the command stream in FILE ('-' for\n"
    "                       standard input), tear off what is left, list the tickets\n"
    "  --help, --version\n"
    "\n"
    "While running, the control socket takes text commands (one per line; try\n"
    "'help'), e.g.  printf 'raise paper-out\\n' | socat - UNIX:$QOR_RUNTIME_DIR/qoremu/zemd.ctl\n"
    "The protocol is described in docs/printer-protocol.md.\n";

bool number(const char* text, long low, long high, long* value) {
    char* end;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || *end || end == text || v < low || v > high) return false;
    *value = v;
    return true;
}

// Control commands to a running emulator, from the command line.
int send_commands(const qoremu::EmulatorOptions& options, const std::vector<std::string>& commands) {
    std::string path = options.control_path.empty() ? qoremu::default_control_path(options.name) : options.control_path;
    for (const auto& command : commands) {
        std::vector<std::string> lines;
        std::string error;
        if (!qoremu::control_command(path, command, &lines, &error)) {
            std::fprintf(stderr, "qoremu: %s: %s\n", command.c_str(), error.c_str());
            return 1;
        }
        for (const auto& line : lines) std::puts(line.c_str());
    }
    return 0;
}

// Prints a stored command stream without any transport.
int render_file(const qoremu::EmulatorOptions& options, const char* file) {
    qoremu::DeviceOptions device;
    if (!qoremu::parse_model(options.model, &device.model)) {
        std::fprintf(stderr, "qoremu: unknown model '%s'\n", options.model.c_str());
        return 2;
    }
    device.tickets_dir = options.tickets_dir.empty() ? qoremu::default_tickets_dir() : options.tickets_dir;
    device.state_path = options.state_path == "none" ? std::string() : options.state_path;
    device.reset_ms = 0;
    if (!qor::places::ensure_dir(device.tickets_dir)) {
        std::fprintf(stderr, "qoremu: cannot make %s\n", device.tickets_dir.c_str());
        return 1;
    }
    FILE* in = std::strcmp(file, "-") == 0 ? stdin : std::fopen(file, "rb");
    if (!in) {
        std::fprintf(stderr, "qoremu: %s: %s\n", file, std::strerror(errno));
        return 1;
    }
    qoremu::Device printer(device);
    auto now = qoremu::Clock::now();
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in)) > 0) {
        for (size_t at = 0; at < got;) {
            size_t n = std::min(got - at, printer.room(now));
            printer.accept(buffer + at, n, now);
            at += n;
            printer.run(now);
        }
    }
    bool failed = std::ferror(in);
    if (in != stdin) std::fclose(in);
    printer.finish(now);
    for (const auto& path : printer.tickets()) std::puts(path.c_str());
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    qoremu::EmulatorOptions options;
    const char* render = nullptr;
    std::vector<std::string> commands;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qoremu: %s needs %s\n", arg.c_str(), what);
                std::exit(2);
            }
            return argv[++i];
        };
        auto integer = [&](const char* what, long low, long high) {
            const char* text = value(what);
            long v;
            if (!number(text, low, high, &v)) {
                std::fprintf(stderr, "qoremu: %s wants %s from %ld to %ld, not '%s'\n", arg.c_str(), what, low, high,
                             text);
                std::exit(2);
            }
            return v;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("qoremu %s (protocol 1)\n", qor::kSuiteVersion);
            return 0;
        } else if (arg == "--name") options.name = value("a name");
        else if (arg == "--socket") options.socket_path = value("a path");
        else if (arg == "--no-socket") options.socket = false;
        else if (arg == "--control") options.control_path = value("a path");
        else if (arg == "--pty") options.pty = true;
        else if (arg == "--pty-link") options.pty_link = value("a path");
        else if (arg == "--tickets") options.tickets_dir = value("a folder");
        else if (arg == "--state") options.state_path = value("a file");
        else if (arg == "--model") options.model = value("D510x or D610x");
        else if (arg == "--baud") {
            options.baud = int(integer("a speed", 0, 115200));
            if (options.baud && options.baud < 300) {
                std::fprintf(stderr, "qoremu: --baud wants 0 or 300..115200\n");
                return 2;
            }
        } else if (arg == "--print-speed") options.print_speed = int(integer("mm/s", 0, 1000));
        else if (arg == "--rx-buffer") options.receive_buffer = size_t(integer("bytes", 256, 1 << 24));
        else if (arg == "--reset-time") options.reset_ms = int(integer("milliseconds", 0, 60000));
        else if (arg == "--raise") options.conditions.push_back(value("a condition"));
        else if (arg == "--silent") options.silent = true;
        else if (arg == "--render") render = value("a file");
        else if (arg == "--command") commands.push_back(value("a control command"));
        else {
            std::fprintf(stderr, "qoremu: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (render) return render_file(options, render);
    if (!commands.empty()) return send_commands(options, commands);
    if (!options.socket && !options.pty) {
        std::fprintf(stderr, "qoremu: with --no-socket, --pty is needed\n");
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    auto server = qoremu::Server::create(options, &error);
    if (!server) {
        std::fprintf(stderr, "qoremu: %s\n", error.c_str());
        return 1;
    }
    g_server = server.get();
    if (g_stop_requested) server->stop();

    std::printf("qoremu: %s ready\n", options.model.c_str());
    if (!server->socket_path().empty()) std::printf("  socket    %s\n", server->socket_path().c_str());
    std::printf("  control   %s\n", server->control_path().c_str());
    if (!server->pty_path().empty()) std::printf("  terminal  %s\n", server->pty_path().c_str());
    std::printf("  tickets   %s\n", server->tickets_dir().c_str());
    std::fflush(stdout);
    server->run();
    g_server = nullptr;
    return 0;
}
