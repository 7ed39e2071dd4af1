#include "bench_system.h"

#include "print_stack.h"

#include "qor/spooler.h"
#include "qoremu/control_client.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace benchsystem {

namespace fs = std::filesystem;

System::System(const std::vector<std::string>& emulator_options) {
    char pattern[] = "/tmp/qor-bench-system-XXXXXX";
    dir_ = mkdtemp(pattern);
    setenv("QOR_ROOT", (dir_ + "/root").c_str(), 1);
    setenv("QOR_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    fs::create_directories(dir_ + "/run");
    tickets_ = dir_ + "/tickets";
    const std::string bin = printstack::ProgramDir(), emulator = bin + "/qoremu";
    std::vector<std::string> args{emulator, "--tickets", tickets_, "--state", "none"};
    args.insert(args.end(), emulator_options.begin(), emulator_options.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&emulator_, emulator.c_str(), nullptr, nullptr, argv.data(), environ) != 0) emulator_ = -1;
    control_ = dir_ + "/run/qoremu/zemd.ctl";
    const std::string socket = dir_ + "/run/qoremu/zemd.sock";
    std::string error;
    ok_ = emulator_ > 0 && qoremu::wait_for_path(socket) && QorSpoolerControl(QOR_SPOOLER_START) &&
          printstack::InstallPrinter(bin, QOR_DATA_DIR, socket, &error);
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
}

System::~System() {
    QorSpoolerControl(QOR_SPOOLER_STOP);
    if (emulator_ > 0) {
        kill(emulator_, SIGTERM);
        waitpid(emulator_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

uint64_t System::ReceivedBytes() const {
    std::vector<std::string> lines;
    if (!qoremu::control_command(control_, "stats", &lines)) return 0;
    for (const std::string& line : lines)
        if (line.rfind("rx-bytes ", 0) == 0) return std::stoull(line.substr(9));
    return 0;
}

}  // namespace benchsystem
