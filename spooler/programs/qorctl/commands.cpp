// The commands that change the spooler's printers, jobs, ports, drivers and
// monitors.
#include "commands.h"
#include "common/printer_defaults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace qorctl {
namespace {

LPWSTR wp(std::u16string& s) { return s.data(); }

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

// A job number: decimal digits only, 1 and up.
bool parse_job_id(const std::string& text, DWORD& id) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v == 0 || v > 0xFFFFFFFFull) return false;
    id = static_cast<DWORD>(v);
    return true;
}

// The raw file for `print`, opened and checked before any job exists.
class InputFile {
public:
    explicit InputFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) {
            problem_ = "cannot read " + path + ": " + std::strerror(errno);
            return;
        }
        struct stat st{};
        if (fstat(fd_, &st) != 0) problem_ = "cannot read " + path + ": " + std::strerror(errno);
        else if (S_ISDIR(st.st_mode)) problem_ = path + " is a folder; print takes a file";
        else if (S_ISREG(st.st_mode) && st.st_size == 0) problem_ = path + " is empty; there is nothing to print";
    }
    ~InputFile() {
        if (fd_ >= 0) close(fd_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Why the file cannot be printed; empty when it can.
    const std::string& problem() const { return problem_; }
    // Bytes read into `chunk`: 0 at the end, -1 on an error (errno set).
    ssize_t read_some(std::vector<char>& chunk) {
        for (;;) {
            ssize_t n = read(fd_, chunk.data(), chunk.size());
            if (n >= 0 || errno != EINTR) return n;
        }
    }

private:
    int fd_;
    std::string problem_;
};

}  // namespace

DWORD attribute_bit(const std::string& name) {
    auto it = kAttributes.find(name);
    return it == kAttributes.end() ? 0 : it->second;
}

std::vector<std::string> attribute_names(DWORD attributes) {
    std::vector<std::string> out;
    for (const auto& [name, bit] : kAttributes)
        if (attributes & bit) out.push_back(name);
    return out;
}

int add_printer(const Args& a) {
    if (a.size() != 3) return usage_error("add-printer needs NAME PORT DRIVER");
    std::u16string name = wide(a[0]), port = wide(a[1]), driver = wide(a[2]), proc = wide("winprint"),
                   type = wide("RAW");
    PRINTER_INFO_2W info{};
    info.pPrinterName = wp(name), info.pPortName = wp(port), info.pDriverName = wp(driver);
    info.pPrintProcessor = wp(proc), info.pDatatype = wp(type);
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!h) return fail("adding printer " + quoted(a[0]) + " on port " + a[1] + " with driver " + quoted(a[2]));
    // The printer's own paper becomes its default device mode; without an
    // answer it keeps the description's defaults and still counts as added.
    std::string report;
    if (qor::defaults::install(h, &report)) std::printf("%s: %s\n", a[0].c_str(), report.c_str());
    else std::fprintf(stderr, "qorctl: %s: %s\n", a[0].c_str(), report.c_str());
    ClosePrinter(h);
    return kOk;
}

int remove_printer(const Args& a) {
    if (a.size() != 1) return usage_error("remove-printer needs NAME");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    if (!DeletePrinter(p.get())) return fail("removing printer " + quoted(a[0]));
    return kOk;
}

int set_printer(const Args& a) {
    if (a.empty()) return usage_error("set-printer needs NAME");
    std::u16string port, driver;
    DWORD add = 0, remove = 0;
    for (size_t i = 1; i < a.size(); ++i) {
        const std::string& arg = a[i];
        if (arg == "--port" || arg == "--driver") {
            if (i + 1 >= a.size()) return usage_error(arg + " needs a name");
            (arg == "--port" ? port : driver) = wide(a[++i]);
            continue;
        }
        DWORD bit = arg.size() > 1 && (arg[0] == '+' || arg[0] == '-') ? attribute_bit(arg.substr(1)) : 0;
        if (!bit) return usage_error("unknown setting " + arg + " (attributes are given as +NAME or -NAME)");
        (arg[0] == '+' ? add : remove) |= bit;
    }
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    std::vector<uint8_t> buf;
    DWORD unused = 0;
    if (!fetch(buf, unused, [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD) { return GetPrinterW(p.get(), 2, b, s, n); }))
        return fail("reading printer " + quoted(a[0]));
    if (buf.size() < sizeof(PRINTER_INFO_2W)) return fail_because("reading printer " + quoted(a[0]), "no record came back");
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    info->Attributes = (info->Attributes | add) & ~remove;
    if (!port.empty()) info->pPortName = wp(port);
    if (!driver.empty()) info->pDriverName = wp(driver);
    if (!SetPrinterW(p.get(), 2, buf.data(), 0)) return fail("changing printer " + quoted(a[0]));
    return kOk;
}

int printer_command(const Args& a, const char* command, DWORD control, const char* what) {
    if (a.size() != 1) return usage_error(std::string(command) + " needs PRINTER");
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    if (!SetPrinterW(p.get(), 0, nullptr, control)) return fail(std::string(what) + " printer " + quoted(a[0]));
    return kOk;
}

int cancel_job(const Args& a) {
    if (a.size() != 2) return usage_error("cancel needs PRINTER JOBID");
    DWORD id = 0;
    if (!parse_job_id(a[1], id)) return usage_error("cancel needs a job number, not " + quoted(a[1]));
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    std::string what = "cancelling job " + a[1] + " of printer " + quoted(a[0]);
    if (!SetJobW(p.get(), id, 0, nullptr, JOB_CONTROL_CANCEL)) {
        // The service's answer for a job number it does not hold.
        if (GetLastError() == ERROR_INVALID_PARAMETER)
            return fail_because(what, "the printer has no job " + a[1] + " (error " + std::to_string(ERROR_INVALID_PARAMETER) + ")");
        return fail(what);
    }
    return kOk;
}

int print_file(const Args& a) {
    if (a.size() != 2) return usage_error("print needs PRINTER FILE");
    InputFile in(a[1]);
    if (!in.problem().empty()) return bad_input(in.problem());
    Printer p(a[0]);
    if (!p.get()) return fail("opening printer " + quoted(a[0]));
    std::u16string doc = wide(a[1]), type = wide("RAW");
    DOC_INFO_1W di{doc.data(), nullptr, type.data()};
    DWORD job = StartDocPrinterW(p.get(), 1, reinterpret_cast<LPBYTE>(&di));
    if (!job) return fail("starting a job on printer " + quoted(a[0]));
    // The file is one page to the spooler: it cannot see the printer's pages in raw data.
    if (!StartPagePrinter(p.get())) {
        AbortPrinter(p.get());
        return fail("starting a page on printer " + quoted(a[0]));
    }
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        ssize_t got = in.read_some(chunk);
        if (got < 0) {
            std::string reason = std::strerror(errno);
            AbortPrinter(p.get());
            return fail_because("reading " + a[1], reason + "; the job was cancelled");
        }
        if (got == 0) break;
        DWORD written = 0;
        if (!WritePrinter(p.get(), chunk.data(), static_cast<DWORD>(got), &written)) {
            DWORD e = GetLastError();
            AbortPrinter(p.get());
            SetLastError(e);
            return fail("writing job " + std::to_string(job) + " to printer " + quoted(a[0]));
        }
    }
    if (!EndPagePrinter(p.get()) || !EndDocPrinter(p.get()))
        return fail("ending job " + std::to_string(job) + " on printer " + quoted(a[0]));
    std::printf("job %u\n", job);
    return kOk;
}

int configure_port(const Args& a, bool add) {
    if (a.empty()) return usage_error(std::string(add ? "add-port" : "configure-port") + " needs a port NAME");
    std::u16string name = wide(a[0]), device, settings;
    bool has_device = false, has_settings = false;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--device" && i + 1 < a.size()) device = wide(a[++i]), has_device = true;
        else if (a[i] == "--settings" && i + 1 < a.size()) settings = wide(a[++i]), has_settings = true;
        else return usage_error("unknown argument " + a[i]);
    }
    if (add) {
        PORT_INFO_1W info{name.data()};
        if (!AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr)) return fail("adding port " + a[0]);
    }
    if ((has_device || has_settings || !add) &&
        !QorConfigurePortW(name.c_str(), has_device ? device.c_str() : nullptr, has_settings ? settings.c_str() : nullptr))
        return fail("configuring port " + a[0]);
    return kOk;
}

int remove_port(const Args& a) {
    if (a.size() != 1) return usage_error("remove-port needs NAME");
    std::u16string name = wide(a[0]);
    if (!DeletePortW(nullptr, nullptr, name.data())) return fail("removing port " + a[0]);
    return kOk;
}

int add_driver(const Args& a) {
    if (a.size() < 2) return usage_error("add-driver needs NAME DRIVER-FILE");
    std::u16string name = wide(a[0]), file = wide(a[1]), env = wide(QOR_DRIVER_ENVIRONMENT), data, config, help,
                   monitor;
    for (size_t i = 2; i < a.size(); ++i) {
        std::u16string* target = a[i] == "--data" ? &data : a[i] == "--config" ? &config
                                : a[i] == "--help" ? &help : a[i] == "--monitor" ? &monitor : nullptr;
        if (!target || i + 1 >= a.size()) return usage_error("unknown argument " + a[i]);
        *target = wide(a[++i]);
    }
    std::u16string type = wide("RAW"), none(1, u'\0');
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = wp(name), info.pEnvironment = wp(env), info.pDriverPath = wp(file);
    info.pDataFile = wp(data), info.pConfigFile = wp(config), info.pHelpFile = wp(help);
    info.pDependentFiles = wp(none);
    info.pMonitorName = monitor.empty() ? nullptr : wp(monitor);
    info.pDefaultDataType = wp(type);
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info))) return fail("adding driver " + quoted(a[0]));
    return kOk;
}

int remove_driver(const Args& a) {
    if (a.size() != 1) return usage_error("remove-driver needs NAME");
    std::u16string name = wide(a[0]);
    if (!DeletePrinterDriverW(nullptr, nullptr, name.data())) return fail("removing driver " + quoted(a[0]));
    return kOk;
}

int add_monitor(const Args& a) {
    if (a.size() != 2) return usage_error("add-monitor needs NAME MODULE");
    std::u16string name = wide(a[0]), module = wide(a[1]), env = wide(QOR_DRIVER_ENVIRONMENT);
    MONITOR_INFO_2W info{name.data(), env.data(), module.data()};
    if (!AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) return fail("adding monitor " + quoted(a[0]));
    return kOk;
}

int remove_monitor(const Args& a) {
    if (a.size() != 1) return usage_error("remove-monitor needs NAME");
    std::u16string name = wide(a[0]);
    if (!DeleteMonitorW(nullptr, nullptr, name.data())) return fail("removing monitor " + quoted(a[0]));
    return kOk;
}

}  // namespace qorctl
