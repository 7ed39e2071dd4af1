#include "database.h"
#include "qor/spool/ports.h"

#include "qor/support/places.h"
#include "registry_store.h"
#include "qor/spool/serial_settings.h"

#include "qor/spooler.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace qor::spooler {
namespace {

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool valid_printer_name(const std::string& name) {
    return !name.empty() && name.size() <= 220 && name.find_first_of("\\,") == std::string::npos;
}

bool valid_port_name(const std::string& name) {
    return !name.empty() && name.size() <= 260 && name.find('\\') == std::string::npos;
}

bool raw_datatype(const std::string& datatype) { return datatype.empty() || same_name(datatype, "RAW"); }

// Driver files given by full path are copied into the driver folder's "3"
// subfolder; the record keeps the bare name.
DWORD install_file(std::string& file) {
    if (file.empty()) return 0;
    std::filesystem::path p(file);
    if (!p.is_absolute()) {
        file = p.filename().string();
        return 0;
    }
    std::error_code ec;
    std::filesystem::path target = std::filesystem::path(Database::driver_directory()) / "3" / p.filename();
    std::filesystem::create_directories(target.parent_path(), ec);
    if (std::filesystem::weakly_canonical(p, ec) != std::filesystem::weakly_canonical(target, ec))
        std::filesystem::copy_file(p, target, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return ec == std::errc::no_such_file_or_directory ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    file = p.filename().string();
    return 0;
}

bool valid_device(const std::string& device) {
    if (device.empty()) return true;
    if (device.rfind("emu:", 0) == 0) return device.size() > 4;
    return device[0] == '/';
}

}  // namespace

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return fold(x) < fold(y); });
}

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

std::string Database::driver_directory() { return places::root() + "/spool/drivers/w32x86"; }

bool Database::environment_ok(const std::string& environment) {
    return environment.empty() || same_name(environment, QOR_DRIVER_ENVIRONMENT);
}

DWORD Database::load() {
    store::Contents c;
    if (DWORD e = store::load(c)) return e;
    printers_ = std::move(c.printers);
    drivers_ = std::move(c.drivers);
    ports_ = std::move(c.ports);
    monitors_ = std::move(c.monitors);
    if (!c.ports_key_existed) {
        for (const char* name : {"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2", "LPT3", "USB001", "FILE:"}) {
            PortInfo p{name, kLocalPortMonitor, "", ports::default_settings(name)};
            store::put_port(p);
            ports_[name] = p;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(driver_directory() + "/3", ec);
    return 0;
}

const Printer* Database::printer(const std::string& name) const {
    auto it = printers_.find(name);
    return it == printers_.end() ? nullptr : &it->second;
}

DWORD Database::add_printer(PrinterInfo info) {
    if (!valid_printer_name(info.name)) return ERROR_INVALID_PRINTER_NAME;
    if (printers_.count(info.name)) return ERROR_PRINTER_ALREADY_EXISTS;
    if (!port(info.port) && (info.port.empty() || info.port[0] != '/')) return ERROR_UNKNOWN_PORT;
    const DriverInfo* d = driver(info.driver);
    if (!d) return ERROR_UNKNOWN_PRINTER_DRIVER;
    if (!raw_datatype(info.datatype)) return ERROR_INVALID_DATATYPE;
    if (info.devmode.size() > spool::kMaxPrinterData) return ERROR_INVALID_PARAMETER;
    info.datatype = "RAW";
    if (info.print_processor.empty()) info.print_processor = "winprint";
    info.attributes |= PRINTER_ATTRIBUTE_LOCAL;
    // Two-way communication is on when the driver brings a language monitor.
    if (!d->monitor.empty()) info.attributes |= PRINTER_ATTRIBUTE_ENABLE_BIDI;
    info.status = 0;
    info.jobs = 0;
    Printer p{info, {}};
    if (DWORD e = store::put_printer(p)) return e;
    printers_[info.name] = std::move(p);
    return 0;
}

DWORD Database::delete_printer(const std::string& name) {
    if (!printers_.count(name)) return ERROR_INVALID_PRINTER_NAME;
    if (DWORD e = store::remove_printer(printers_.at(name).info.name)) return e;
    printers_.erase(name);
    return 0;
}

DWORD Database::update_printer(const std::string& name, const PrinterInfo& in, DWORD level) {
    auto it = printers_.find(name);
    if (it == printers_.end()) return ERROR_INVALID_PRINTER_NAME;
    PrinterInfo next = it->second.info;
    if (!in.name.empty() && !same_name(in.name, next.name)) return ERROR_INVALID_PRINTER_NAME;
    if (!in.port.empty() && !port(in.port) && in.port[0] != '/') return ERROR_UNKNOWN_PORT;
    if (!in.port.empty()) next.port = in.port;
    next.attributes = in.attributes | PRINTER_ATTRIBUTE_LOCAL;
    if (level == 5) {
        next.dns_timeout = in.dns_timeout, next.tx_timeout = in.tx_timeout;
    } else {
        if (!in.driver.empty() && !driver(in.driver)) return ERROR_UNKNOWN_PRINTER_DRIVER;
        if (!raw_datatype(in.datatype)) return ERROR_INVALID_DATATYPE;
        if (!in.driver.empty()) next.driver = in.driver;
        next.share = in.share, next.comment = in.comment, next.location = in.location;
        next.sep_file = in.sep_file, next.parameters = in.parameters;
        if (!in.print_processor.empty()) next.print_processor = in.print_processor;
        if (!in.devmode.empty()) next.devmode = in.devmode;
        next.priority = in.priority, next.default_priority = in.default_priority;
        next.start_time = in.start_time, next.until_time = in.until_time;
    }
    Printer updated{next, it->second.data};
    if (DWORD e = store::put_printer(updated)) return e;
    it->second.info = next;
    return 0;
}

DWORD Database::set_security(const std::string& name, std::vector<uint8_t> sd) {
    auto it = printers_.find(name);
    if (it == printers_.end()) return ERROR_INVALID_PRINTER_NAME;
    Printer updated = it->second;
    updated.info.security = std::move(sd);
    if (DWORD e = store::put_printer(updated)) return e;
    it->second.info.security = std::move(updated.info.security);
    return 0;
}

DWORD Database::set_status(const std::string& name, DWORD status) {
    auto it = printers_.find(name);
    if (it == printers_.end()) return ERROR_INVALID_PRINTER_NAME;
    if (it->second.info.status == status) return 0;
    if (DWORD e = store::put_printer_status(it->second.info.name, status)) return e;
    it->second.info.status = status;
    return 0;
}

DWORD Database::set_data(const std::string& printer_name, const std::string& value, const DataValue& data) {
    auto it = printers_.find(printer_name);
    if (it == printers_.end()) return ERROR_INVALID_PRINTER_NAME;
    if (value.empty() || value.size() > 255 || value.find('\\') != std::string::npos) return ERROR_INVALID_PARAMETER;
    if (data.bytes.size() > spool::kMaxPrinterData) return ERROR_INVALID_PARAMETER;
    if (DWORD e = store::put_printer_data(it->second.info.name, value, data)) return e;
    it->second.data[value] = data;
    return 0;
}

const DriverInfo* Database::driver(const std::string& name) const {
    auto it = drivers_.find(name);
    return it == drivers_.end() ? nullptr : &it->second;
}

DWORD Database::add_driver(DriverInfo info) {
    if (info.name.empty() || info.name.size() > 220 || info.name.find('\\') != std::string::npos)
        return ERROR_INVALID_PARAMETER;
    if (!environment_ok(info.environment)) return ERROR_INVALID_ENVIRONMENT;
    if (info.driver_path.empty()) return ERROR_INVALID_PARAMETER;
    if (!info.monitor.empty() && !monitor(info.monitor)) return ERROR_UNKNOWN_PRINT_MONITOR;
    if (!raw_datatype(info.default_datatype)) return ERROR_INVALID_DATATYPE;
    for (std::string* f : {&info.driver_path, &info.data_file, &info.config_file, &info.help_file})
        if (DWORD e = install_file(*f)) return e;
    for (auto& f : info.dependent_files)
        if (DWORD e = install_file(f)) return e;
    info.environment = QOR_DRIVER_ENVIRONMENT;
    info.version = 3;
    if (DWORD e = store::put_driver(info)) return e;
    drivers_[info.name] = std::move(info);
    return 0;
}

DWORD Database::delete_driver(const std::string& environment, const std::string& name) {
    if (!environment_ok(environment)) return ERROR_INVALID_ENVIRONMENT;
    auto it = drivers_.find(name);
    if (it == drivers_.end()) return ERROR_UNKNOWN_PRINTER_DRIVER;
    for (const auto& [pname, p] : printers_)
        if (same_name(p.info.driver, name)) return ERROR_PRINTER_DRIVER_IN_USE;
    if (DWORD e = store::remove_driver(it->second.name)) return e;
    drivers_.erase(it);
    return 0;
}

DriverInfo Database::driver_with_paths(const DriverInfo& info) const {
    DriverInfo out = info;
    std::string dir = driver_directory() + "/3/";
    for (std::string* f : {&out.driver_path, &out.data_file, &out.config_file, &out.help_file})
        if (!f->empty()) *f = dir + *f;
    for (auto& f : out.dependent_files) f = dir + f;
    return out;
}

const PortInfo* Database::port(const std::string& name) const {
    auto it = ports_.find(ports::canonical_name(name));
    return it == ports_.end() ? nullptr : &it->second;
}

DWORD Database::add_port(const std::string& given_name, const std::string& monitor_name) {
    if (!valid_port_name(given_name)) return ERROR_INVALID_NAME;
    if (!monitor_name.empty() && !same_name(monitor_name, kLocalPortMonitor)) return ERROR_UNKNOWN_PRINT_MONITOR;
    // "com5" is COM5: stored under the platform's spelling, with its settings.
    const std::string name = ports::canonical_name(given_name);
    if (ports_.count(name)) return ERROR_ALREADY_EXISTS;
    PortInfo p{name, kLocalPortMonitor, "", ports::default_settings(name)};
    if (DWORD e = store::put_port(p)) return e;
    ports_[name] = p;
    return 0;
}

DWORD Database::delete_port(const std::string& name) {
    auto it = ports_.find(ports::canonical_name(name));
    if (it == ports_.end()) return ERROR_UNKNOWN_PORT;
    for (const auto& [pname, p] : printers_)
        if (same_name(p.info.port, name)) return ERROR_BUSY;
    if (DWORD e = store::remove_port(it->second.name)) return e;
    ports_.erase(it);
    return 0;
}

DWORD Database::configure_port(const std::string& name, const std::string* device, const std::string* settings) {
    auto it = ports_.find(ports::canonical_name(name));
    if (it == ports_.end()) return ERROR_UNKNOWN_PORT;
    PortInfo next = it->second;
    if (device) {
        if (!valid_device(*device)) return ERROR_INVALID_PARAMETER;
        next.device = *device;
    }
    if (settings) {
        if (!settings->empty() && !spool::parse_serial_settings(*settings)) return ERROR_INVALID_PARAMETER;
        next.settings = settings->empty() ? std::string() : spool::format_serial_settings(*spool::parse_serial_settings(*settings));
    }
    if (DWORD e = store::put_port(next)) return e;
    it->second = next;
    return 0;
}

const MonitorInfo* Database::monitor(const std::string& name) const {
    auto it = monitors_.find(name);
    return it == monitors_.end() ? nullptr : &it->second;
}

DWORD Database::add_monitor(const MonitorInfo& info) {
    if (info.name.empty() || info.name.find('\\') != std::string::npos || info.module.empty())
        return ERROR_INVALID_PARAMETER;
    if (!environment_ok(info.environment)) return ERROR_INVALID_ENVIRONMENT;
    if (same_name(info.name, kLocalPortMonitor) || monitors_.count(info.name))
        return ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
    MonitorInfo m{info.name, QOR_DRIVER_ENVIRONMENT, info.module};
    if (DWORD e = store::put_monitor(m)) return e;
    monitors_[m.name] = m;
    return 0;
}

DWORD Database::delete_monitor(const std::string& name) {
    auto it = monitors_.find(name);
    if (it == monitors_.end()) return ERROR_UNKNOWN_PRINT_MONITOR;
    for (const auto& [dname, d] : drivers_)
        if (same_name(d.monitor, name)) return ERROR_PRINT_MONITOR_IN_USE;
    if (DWORD e = store::remove_monitor(it->second.name)) return e;
    monitors_.erase(it);
    return 0;
}

}  // namespace qor::spooler
