// qorctl, the spooler's administration command.
#include "utf.h"

#include "common/printer_defaults.h"
#include "qor/spooler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

const char* kUsage =
    "usage: qorctl COMMAND [ARGS]\n"
    "\n"
    "Service:\n"
    "  start                      start the spooler service (clients also start it on demand)\n"
    "  stop                       stop it and wait until it has ended\n"
    "  status                     tell whether it runs\n"
    "Printers:\n"
    "  printers                   list printers with port, driver, status and attributes\n"
    "  add-printer NAME PORT DRIVER\n"
    "  remove-printer NAME\n"
    "  set-printer NAME [+ATTR|-ATTR]... [--port PORT] [--driver DRIVER]\n"
    "                             ATTR: queued direct default shared network hidden local\n"
    "                             enable-devq keep-printed do-complete-first work-offline bidi\n"
    "                             raw-only published\n"
    "  pause NAME | resume NAME\n"
    "Jobs:\n"
    "  jobs PRINTER               list the printer's jobs\n"
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
    "  add-monitor NAME MODULE    register a language monitor module\n"
    "  remove-monitor NAME\n";

std::u16string w(const std::string& s) { return qor::utf8_to_utf16(s); }
LPWSTR wp(std::u16string& s) { return s.data(); }
std::string u(LPCWSTR s) { return s ? qor::utf16_to_utf8(s) : std::string(); }

int fail(const std::string& what) {
    DWORD e = GetLastError();
    std::fprintf(stderr, "qorctl: %s failed (error %u)\n", what.c_str(), e);
    return 1;
}

int usage_error(const char* why) {
    std::fprintf(stderr, "qorctl: %s\n\n%s", why, kUsage);
    return 2;
}

const std::map<std::string, DWORD> kAttributes = {
    {"queued", PRINTER_ATTRIBUTE_QUEUED},
    {"direct", PRINTER_ATTRIBUTE_DIRECT},
    {"default", PRINTER_ATTRIBUTE_DEFAULT},
    {"shared", PRINTER_ATTRIBUTE_SHARED},
    {"network", PRINTER_ATTRIBUTE_NETWORK},
    {"hidden", PRINTER_ATTRIBUTE_HIDDEN},
    {"local", PRINTER_ATTRIBUTE_LOCAL},
    {"enable-devq", PRINTER_ATTRIBUTE_ENABLE_DEVQ},
    {"keep-printed", PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS},
    {"do-complete-first", PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST},
    {"work-offline", PRINTER_ATTRIBUTE_WORK_OFFLINE},
    {"bidi", PRINTER_ATTRIBUTE_ENABLE_BIDI},
    {"raw-only", PRINTER_ATTRIBUTE_RAW_ONLY},
    {"published", PRINTER_ATTRIBUTE_PUBLISHED},
};

std::string attribute_names(DWORD a) {
    std::string out;
    for (const auto& [name, bit] : kAttributes)
        if (a & bit) out += (out.empty() ? "" : ",") + name;
    return out.empty() ? "-" : out;
}

// A packed list from an Enum*/Get* call: size query, then the data.
template <class Call>
bool fetch(std::vector<uint8_t>& buf, DWORD& count, Call call) {
    DWORD needed = 0;
    count = 0;
    if (call(nullptr, 0, &needed, &count)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buf.assign(needed, 0);
    return call(buf.data(), needed, &needed, &count);
}

class Printer {
public:
    explicit Printer(const std::string& name) {
        std::u16string n = w(name);
        PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(n.data(), &h_, &d)) h_ = nullptr;
    }
    ~Printer() {
        if (h_) ClosePrinter(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

int list_printers() {
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, c);
        }))
        return fail("listing printers");
    auto* p = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    std::printf("%-24s %-10s %-24s %-10s %-5s %s\n", "PRINTER", "PORT", "DRIVER", "STATUS", "JOBS", "ATTRIBUTES");
    for (DWORD i = 0; i < count; ++i)
        std::printf("%-24s %-10s %-24s 0x%08x %-5u %s\n", u(p[i].pPrinterName).c_str(), u(p[i].pPortName).c_str(),
                    u(p[i].pDriverName).c_str(), p[i].Status, p[i].cJobs, attribute_names(p[i].Attributes).c_str());
    return 0;
}

int add_printer(const Args& a) {
    if (a.size() != 3) return usage_error("add-printer needs NAME PORT DRIVER");
    std::u16string name = w(a[0]), port = w(a[1]), driver = w(a[2]), proc = w("winprint"), type = w("RAW");
    PRINTER_INFO_2W info{};
    info.pPrinterName = wp(name), info.pPortName = wp(port), info.pDriverName = wp(driver);
    info.pPrintProcessor = wp(proc), info.pDatatype = wp(type);
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!h) return fail("adding printer " + a[0]);
    // The printer's own paper becomes its default device mode; without an
    // answer it keeps the description's defaults and still counts as added.
    std::string report;
    if (qor::defaults::install(h, &report)) std::printf("%s: %s\n", a[0].c_str(), report.c_str());
    else std::fprintf(stderr, "qorctl: %s: %s\n", a[0].c_str(), report.c_str());
    ClosePrinter(h);
    return 0;
}

int remove_printer(const Args& a) {
    if (a.size() != 1) return usage_error("remove-printer needs NAME");
    Printer p(a[0]);
    if (!p.get() || !DeletePrinter(p.get())) return fail("removing printer " + a[0]);
    return 0;
}

int set_printer(const Args& a) {
    if (a.empty()) return usage_error("set-printer needs NAME");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + a[0]);
    std::vector<uint8_t> buf;
    DWORD unused = 0;
    if (!fetch(buf, unused, [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD) { return GetPrinterW(p.get(), 2, b, s, n); }))
        return fail("reading printer " + a[0]);
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    std::u16string port, driver;
    for (size_t i = 1; i < a.size(); ++i) {
        const std::string& arg = a[i];
        if ((arg == "--port" || arg == "--driver") && i + 1 < a.size()) {
            (arg == "--port" ? port : driver) = w(a[++i]);
            continue;
        }
        auto it = arg.size() > 1 ? kAttributes.find(arg.substr(1)) : kAttributes.end();
        if (it == kAttributes.end() || (arg[0] != '+' && arg[0] != '-'))
            return usage_error(("unknown setting " + arg).c_str());
        info->Attributes = arg[0] == '+' ? (info->Attributes | it->second) : (info->Attributes & ~it->second);
    }
    if (!port.empty()) info->pPortName = wp(port);
    if (!driver.empty()) info->pDriverName = wp(driver);
    if (!SetPrinterW(p.get(), 2, buf.data(), 0)) return fail("changing printer " + a[0]);
    return 0;
}

int printer_command(const Args& a, DWORD command, const char* what) {
    if (a.size() != 1) return usage_error("needs PRINTER");
    Printer p(a[0]);
    if (!p.get() || !SetPrinterW(p.get(), 0, nullptr, command)) return fail(std::string(what) + " " + a[0]);
    return 0;
}

int list_jobs(const Args& a) {
    if (a.size() != 1) return usage_error("jobs needs PRINTER");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + a[0]);
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumJobsW(p.get(), 0, 0xFFFFFFFF, 1, b, s, n, c);
        }))
        return fail("listing jobs");
    auto* j = reinterpret_cast<JOB_INFO_1W*>(buf.data());
    std::printf("%-6s %-10s %-10s %-6s %s\n", "JOB", "STATUS", "USER", "PAGES", "DOCUMENT");
    for (DWORD i = 0; i < count; ++i)
        std::printf("%-6u 0x%08x %-10s %-6u %s\n", j[i].JobId, j[i].Status, u(j[i].pUserName).c_str(), j[i].TotalPages,
                    u(j[i].pDocument).c_str());
    return 0;
}

int cancel_job(const Args& a) {
    if (a.size() != 2) return usage_error("cancel needs PRINTER JOBID");
    Printer p(a[0]);
    DWORD id = static_cast<DWORD>(std::strtoul(a[1].c_str(), nullptr, 10));
    if (!p.get() || !SetJobW(p.get(), id, 0, nullptr, JOB_CONTROL_CANCEL)) return fail("cancelling job " + a[1]);
    return 0;
}

int print_file(const Args& a) {
    if (a.size() != 2) return usage_error("print needs PRINTER FILE");
    std::ifstream in(a[1], std::ios::binary);
    if (!in) return usage_error(("cannot read " + a[1]).c_str());
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + a[0]);
    std::u16string doc = w(a[1]), type = w("RAW");
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(p.get(), 1, reinterpret_cast<LPBYTE>(&di));
    if (!job) return fail("starting the document");
    std::vector<char> chunk(64 * 1024);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        DWORD written = 0;
        if (!WritePrinter(p.get(), chunk.data(), static_cast<DWORD>(in.gcount()), &written)) {
            AbortPrinter(p.get());
            return fail("writing the document");
        }
    }
    if (!EndDocPrinter(p.get())) return fail("ending the document");
    std::printf("job %u\n", job);
    return 0;
}

int list_ports() {
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) { return EnumPortsW(nullptr, 2, b, s, n, c); }))
        return fail("listing ports");
    auto* p = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    std::printf("%-12s %-12s %s\n", "PORT", "MONITOR", "DEVICE AND SETTINGS");
    for (DWORD i = 0; i < count; ++i)
        std::printf("%-12s %-12s %s\n", u(p[i].pPortName).c_str(), u(p[i].pMonitorName).c_str(),
                    u(p[i].pDescription).c_str());
    return 0;
}

int configure_port(const Args& a, bool add) {
    if (a.empty()) return usage_error("needs a port NAME");
    std::u16string name = w(a[0]), device, settings;
    bool has_device = false, has_settings = false;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--device" && i + 1 < a.size()) device = w(a[++i]), has_device = true;
        else if (a[i] == "--settings" && i + 1 < a.size()) settings = w(a[++i]), has_settings = true;
        else return usage_error(("unknown argument " + a[i]).c_str());
    }
    if (add) {
        PORT_INFO_1W info{name.data()};
        if (!AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr)) return fail("adding port " + a[0]);
    }
    if ((has_device || has_settings || !add) &&
        !QorConfigurePortW(name.c_str(), has_device ? device.c_str() : nullptr, has_settings ? settings.c_str() : nullptr))
        return fail("configuring port " + a[0]);
    return 0;
}

int remove_port(const Args& a) {
    if (a.size() != 1) return usage_error("remove-port needs NAME");
    std::u16string name = w(a[0]);
    if (!DeletePortW(nullptr, nullptr, name.data())) return fail("removing port " + a[0]);
    return 0;
}

int list_drivers() {
    std::vector<uint8_t> buf;
    DWORD count = 0;
    if (!fetch(buf, count, [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
            return EnumPrinterDriversW(nullptr, nullptr, 3, b, s, n, c);
        }))
        return fail("listing drivers");
    auto* d = reinterpret_cast<DRIVER_INFO_3W*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
        std::printf("%s\n  driver  %s\n  data    %s\n  config  %s\n  monitor %s\n", u(d[i].pName).c_str(),
                    u(d[i].pDriverPath).c_str(), u(d[i].pDataFile).c_str(), u(d[i].pConfigFile).c_str(),
                    d[i].pMonitorName ? u(d[i].pMonitorName).c_str() : "-");
    return 0;
}

int add_driver(const Args& a) {
    if (a.size() < 2) return usage_error("add-driver needs NAME DRIVER-FILE");
    std::u16string name = w(a[0]), file = w(a[1]), env = w(QOR_DRIVER_ENVIRONMENT), data, config, help, monitor;
    for (size_t i = 2; i < a.size(); ++i) {
        std::u16string* target = a[i] == "--data" ? &data : a[i] == "--config" ? &config
                                : a[i] == "--help" ? &help : a[i] == "--monitor" ? &monitor : nullptr;
        if (!target || i + 1 >= a.size()) return usage_error(("unknown argument " + a[i]).c_str());
        *target = w(a[++i]);
    }
    std::u16string type = w("RAW"), none(1, u'\0');
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = wp(name), info.pEnvironment = wp(env), info.pDriverPath = wp(file);
    info.pDataFile = wp(data), info.pConfigFile = wp(config), info.pHelpFile = wp(help);
    info.pDependentFiles = wp(none);
    info.pMonitorName = monitor.empty() ? nullptr : wp(monitor);
    info.pDefaultDataType = wp(type);
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info))) return fail("adding driver " + a[0]);
    return 0;
}

int remove_driver(const Args& a) {
    if (a.size() != 1) return usage_error("remove-driver needs NAME");
    std::u16string name = w(a[0]);
    if (!DeletePrinterDriverW(nullptr, nullptr, name.data())) return fail("removing driver " + a[0]);
    return 0;
}

int add_monitor(const Args& a) {
    if (a.size() != 2) return usage_error("add-monitor needs NAME MODULE");
    std::u16string name = w(a[0]), module = w(a[1]), env = w(QOR_DRIVER_ENVIRONMENT);
    MONITOR_INFO_2W info{name.data(), env.data(), module.data()};
    if (!AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) return fail("adding monitor " + a[0]);
    return 0;
}

int remove_monitor(const Args& a) {
    if (a.size() != 1) return usage_error("remove-monitor needs NAME");
    std::u16string name = w(a[0]);
    if (!DeleteMonitorW(nullptr, nullptr, name.data())) return fail("removing monitor " + a[0]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage_error("no command");
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    const std::map<std::string, std::function<int()>> commands = {
        {"start", [] { return QorSpoolerControl(QOR_SPOOLER_START) ? 0 : fail("starting the service"); }},
        {"stop", [] { return QorSpoolerControl(QOR_SPOOLER_STOP) ? 0 : fail("stopping the service"); }},
        {"status",
         [] {
             bool up = QorSpoolerControl(QOR_SPOOLER_PING);
             std::puts(up ? "running" : "not running");
             return up ? 0 : 3;
         }},
        {"printers", [] { return list_printers(); }},
        {"add-printer", [&] { return add_printer(args); }},
        {"remove-printer", [&] { return remove_printer(args); }},
        {"set-printer", [&] { return set_printer(args); }},
        {"pause", [&] { return printer_command(args, PRINTER_CONTROL_PAUSE, "pausing"); }},
        {"resume", [&] { return printer_command(args, PRINTER_CONTROL_RESUME, "resuming"); }},
        {"purge", [&] { return printer_command(args, PRINTER_CONTROL_PURGE, "purging"); }},
        {"jobs", [&] { return list_jobs(args); }},
        {"cancel", [&] { return cancel_job(args); }},
        {"print", [&] { return print_file(args); }},
        {"ports", [] { return list_ports(); }},
        {"add-port", [&] { return configure_port(args, true); }},
        {"configure-port", [&] { return configure_port(args, false); }},
        {"remove-port", [&] { return remove_port(args); }},
        {"drivers", [] { return list_drivers(); }},
        {"add-driver", [&] { return add_driver(args); }},
        {"remove-driver", [&] { return remove_driver(args); }},
        {"add-monitor", [&] { return add_monitor(args); }},
        {"remove-monitor", [&] { return remove_monitor(args); }},
    };
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    auto it = commands.find(command);
    if (it == commands.end()) return usage_error(("unknown command " + command).c_str());
    return it->second();
}
