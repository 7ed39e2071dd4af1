// qorctl, the spooler's administration command.
#include "commands.h"

#include "qor/support/version.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using namespace qorctl;

const char* kHelp =
    "usage: qorctl COMMAND [ARGS]\n"
    "       qorctl --help | --version\n"
    "\n"
    "Service:\n"
    "  start                      start the spooler service (clients also start it on demand)\n"
    "  stop                       stop it and wait until it has ended\n"
    "  status                     tell whether it runs (exit code 1 when it does not)\n"
    "Printers:\n"
    "  printers [--json]          list printers with port, driver, jobs, attributes and status\n"
    "  add-printer NAME PORT DRIVER\n"
    "  remove-printer NAME\n"
    "  set-printer NAME [+ATTR|-ATTR]... [--port PORT] [--driver DRIVER]\n"
    "                             ATTR: queued direct default shared network hidden local\n"
    "                             enable-devq keep-printed do-complete-first work-offline bidi\n"
    "                             raw-only published\n"
    "  pause NAME | resume NAME\n"
    "  properties NAME            the printer's settings in its driver's device sheet\n"
    "  cups-add NAME [--queue Q]  create a CUPS queue printing on the printer (default name:\n"
    "                             NAME with spaces as '_'; needs CUPS)\n"
    "Jobs:\n"
    "  jobs PRINTER [--json]      list the printer's jobs with status and pages\n"
    "  cancel PRINTER JOBID\n"
    "  purge PRINTER              cancel every job of the printer\n"
    "  print PRINTER FILE         send a file as a raw job\n"
    "Ports (COMn, LPTn, USBnnn, FILE: or a file path):\n"
    "  ports                      list ports and what stands behind them\n"
    "  add-port NAME [--device DEVICE] [--settings SETTINGS]\n"
    "  configure-port NAME [--device DEVICE] [--settings SETTINGS]\n"
    "                             DEVICE: /dev/ttyUSB0, /dev/usb/lp0, /dev/lp0, a file,\n"
    "                             or emu:SOCKET for the printer emulator; SETTINGS for\n"
    "                             serial ports: 9600,n,8,1 with an optional ,x or ,p\n"
    "  remove-port NAME\n"
    "Drivers and monitors:\n"
    "  drivers                    list installed drivers\n"
    "  add-driver NAME DRIVER-FILE [--data FILE] [--config FILE] [--help FILE] [--monitor NAME]\n"
    "  remove-driver NAME\n"
    "  monitors                   list the port monitor and the language monitors\n"
    "  add-monitor NAME MODULE    register a language monitor module\n"
    "  remove-monitor NAME\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 usage error or unusable input.\n";

int service_status(const Args& a) {
    if (!a.empty()) return usage_error("status takes no arguments");
    bool up = QorSpoolerControl(QOR_SPOOLER_PING);
    std::puts(up ? "running" : "not running");
    return up ? kOk : kFailed;
}

int service_control(const Args& a, const char* command, DWORD control, const char* what) {
    if (!a.empty()) return usage_error(std::string(command) + " takes no arguments");
    return QorSpoolerControl(control) ? kOk : fail(what);
}

// Takes --json out of the arguments of a command that has it.
bool take_json(Args& args) {
    auto it = std::find(args.begin(), args.end(), "--json");
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage_error("no command given");
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (command == "--version") {
        std::printf("qorctl %s\n", qor::kSuiteVersion);
        return kOk;
    }
    const std::map<std::string, std::function<int()>> commands = {
        {"start", [&] { return service_control(args, "start", QOR_SPOOLER_START, "starting the service"); }},
        {"stop", [&] { return service_control(args, "stop", QOR_SPOOLER_STOP, "stopping the service"); }},
        {"status", [&] { return service_status(args); }},
        {"printers", [&] { return list_printers(args, take_json(args)); }},
        {"add-printer", [&] { return add_printer(args); }},
        {"remove-printer", [&] { return remove_printer(args); }},
        {"set-printer", [&] { return set_printer(args); }},
        {"pause", [&] { return printer_command(args, "pause", PRINTER_CONTROL_PAUSE, "pausing"); }},
        {"resume", [&] { return printer_command(args, "resume", PRINTER_CONTROL_RESUME, "resuming"); }},
        {"purge", [&] { return printer_command(args, "purge", PRINTER_CONTROL_PURGE, "purging"); }},
        {"cups-add", [&] { return cups_add(args); }},
        {"properties", [&] { return printer_properties(args); }},
        {"jobs", [&] { return list_jobs(args, take_json(args)); }},
        {"cancel", [&] { return cancel_job(args); }},
        {"print", [&] { return print_file(args); }},
        {"ports", [&] { return list_ports(args); }},
        {"add-port", [&] { return configure_port(args, true); }},
        {"configure-port", [&] { return configure_port(args, false); }},
        {"remove-port", [&] { return remove_port(args); }},
        {"drivers", [&] { return list_drivers(args); }},
        {"add-driver", [&] { return add_driver(args); }},
        {"remove-driver", [&] { return remove_driver(args); }},
        {"monitors", [&] { return list_monitors(args); }},
        {"add-monitor", [&] { return add_monitor(args); }},
        {"remove-monitor", [&] { return remove_monitor(args); }},
    };
    auto it = commands.find(command);
    if (it == commands.end()) return usage_error("unknown command " + quoted(command));
    return it->second();
}
