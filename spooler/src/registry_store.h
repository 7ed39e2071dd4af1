// Where the printer database lives in the machine registry:
//
//   HKLM\SYSTEM\CurrentControlSet\Control\Print
//     Printers\<printer>            Name, Port, Printer Driver, Description, Location,
//                                   Share Name, Separator File, Print Processor, Datatype,
//                                   Parameters (REG_SZ); Attributes, Priority,
//                                   Default Priority, StartTime, UntilTime, Status,
//                                   dnsTimeout, txTimeout (REG_DWORD); Default DevMode (REG_BINARY)
//       PrinterDriverData\<value>   the printer data, with its own types
//     Environments\Windows NT x86\Drivers\Version-3\<driver>
//                                   Driver, Data File, Configuration File, Help File,
//                                   Monitor, Datatype (REG_SZ); Dependent Files (REG_MULTI_SZ);
//                                   Version (REG_DWORD)
//     Monitors\<monitor>            Driver (REG_SZ): the module file
//     Ports\<port>                  Device, Settings, Monitor (REG_SZ)
#pragma once

#include "database.h"

namespace qor::spooler::store {

constexpr const char* kPrintKey = "SYSTEM\\CurrentControlSet\\Control\\Print";

struct Contents {
    std::map<std::string, Printer, CaseLess> printers;
    std::map<std::string, DriverInfo, CaseLess> drivers;
    std::map<std::string, PortInfo, CaseLess> ports;
    std::map<std::string, MonitorInfo, CaseLess> monitors;
    bool ports_key_existed = false;
};

// 0 or a platform error.
DWORD load(Contents& out);
DWORD put_printer(const Printer& printer);  // the printer's own values, not its data
DWORD put_printer_status(const std::string& printer, DWORD status);
DWORD put_printer_data(const std::string& printer, const std::string& value, const DataValue& data);
DWORD remove_printer(const std::string& printer);
DWORD put_driver(const DriverInfo& driver);
DWORD remove_driver(const std::string& driver);
DWORD put_port(const PortInfo& port);
DWORD remove_port(const std::string& port);
DWORD put_monitor(const MonitorInfo& monitor);
DWORD remove_monitor(const std::string& monitor);

}  // namespace qor::spooler::store
