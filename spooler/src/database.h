// The printer database: printers, drivers, ports and language monitors,
// kept in memory and written through to the machine registry. Not
// thread-safe by itself; the service calls it under its lock.
#pragma once

#include "qor/spool/protocol.h"

#include <map>
#include <string>
#include <vector>

namespace qor::spooler {

using spool::DriverInfo;
using spool::MonitorInfo;
using spool::PortInfo;
using spool::PrinterInfo;

// Names compare without regard to ASCII letter case, as the platform's do.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
bool same_name(const std::string& a, const std::string& b);

struct DataValue {
    DWORD type = 0;
    std::vector<uint8_t> bytes;
};

struct Printer {
    PrinterInfo info;  // jobs count filled in when reported
    std::map<std::string, DataValue, CaseLess> data;
};

// The monitor name of the built-in port monitor.
constexpr const char* kLocalPortMonitor = "Local Port";

class Database {
public:
    // Reads the registry; a machine without ports gets the standard set.
    DWORD load();

    const std::map<std::string, Printer, CaseLess>& printers() const { return printers_; }
    const Printer* printer(const std::string& name) const;
    DWORD add_printer(PrinterInfo info);
    DWORD delete_printer(const std::string& name);
    // Level-2 or level-5 changes; the name cannot change.
    DWORD update_printer(const std::string& name, const PrinterInfo& info, DWORD level);
    DWORD set_status(const std::string& name, DWORD status);
    // Stores a printer's self-relative security descriptor.
    DWORD set_security(const std::string& name, std::vector<uint8_t> sd);
    DWORD set_data(const std::string& printer, const std::string& value, const DataValue& data);

    const std::map<std::string, DriverInfo, CaseLess>& drivers() const { return drivers_; }
    const DriverInfo* driver(const std::string& name) const;
    DWORD add_driver(DriverInfo info);
    DWORD delete_driver(const std::string& environment, const std::string& name);
    // The record as callers see it: full paths in the driver folder.
    DriverInfo driver_with_paths(const DriverInfo& info) const;

    const std::map<std::string, PortInfo, CaseLess>& ports() const { return ports_; }
    const PortInfo* port(const std::string& name) const;
    DWORD add_port(const std::string& name, const std::string& monitor);
    DWORD delete_port(const std::string& name);
    DWORD configure_port(const std::string& name, const std::string* device, const std::string* settings);

    const std::map<std::string, MonitorInfo, CaseLess>& monitors() const { return monitors_; }
    const MonitorInfo* monitor(const std::string& name) const;
    DWORD add_monitor(const MonitorInfo& info);
    DWORD delete_monitor(const std::string& name);

    // <root>/spool/drivers/w32x86; drivers load from its "3" subfolder.
    static std::string driver_directory();
    static bool environment_ok(const std::string& environment);

private:
    std::map<std::string, Printer, CaseLess> printers_;
    std::map<std::string, DriverInfo, CaseLess> drivers_;
    std::map<std::string, PortInfo, CaseLess> ports_;
    std::map<std::string, MonitorInfo, CaseLess> monitors_;
};

}  // namespace qor::spooler
