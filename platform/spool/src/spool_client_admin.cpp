// Drivers, ports, monitors, printers added and removed, and control of the
// service itself.
#include "spool_client.h"
#include "qor/guard.h"
#include "spool_client_pack.h"

#include "qor/support/places.h"
#include "qor/support/utf.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace qor::spool {
namespace {

bool local_server(const std::string& server) {
    if (server.empty()) return true;
    SetLastError(ERROR_INVALID_NAME);
    return false;
}

void fill_driver_2(Packer& p, DRIVER_INFO_2W* r, const DriverInfo& d) {
    r->cVersion = d.version;
    r->pName = p.str<char16_t>(d.name);
    r->pEnvironment = p.str<char16_t>(d.environment);
    r->pDriverPath = p.str<char16_t>(d.driver_path);
    r->pDataFile = p.str<char16_t>(d.data_file);
    r->pConfigFile = p.str<char16_t>(d.config_file);
}

void fill_driver_3(Packer& p, DRIVER_INFO_3W* r, const DriverInfo& d) {
    DRIVER_INFO_2W two{};
    fill_driver_2(p, &two, d);
    r->cVersion = two.cVersion, r->pName = two.pName, r->pEnvironment = two.pEnvironment;
    r->pDriverPath = two.pDriverPath, r->pDataFile = two.pDataFile, r->pConfigFile = two.pConfigFile;
    r->pHelpFile = p.str<char16_t>(d.help_file);
    std::string list;
    for (const auto& f : d.dependent_files) list += f + '\n';
    // A double-zero-terminated list: pieces separated by zeros.
    std::u16string wide = utf8_to_wide(list);
    for (auto& c : wide)
        if (c == u'\n') c = u'\0';
    wide.push_back(u'\0');
    r->pDependentFiles = static_cast<LPWSTR>(p.blob(wide.data(), wide.size() * 2));
    r->pMonitorName = d.monitor.empty() ? nullptr : p.str<char16_t>(d.monitor);
    r->pDefaultDataType = p.str<char16_t>(d.default_datatype);
}

BOOL pack_drivers(const std::vector<DriverInfo>& drivers, DWORD level, LPBYTE buffer, DWORD size,
                  LPDWORD needed) {
    if (level == 2) return pack_records<DRIVER_INFO_2W>(drivers, buffer, size, needed, fill_driver_2);
    return pack_records<DRIVER_INFO_3W>(drivers, buffer, size, needed, fill_driver_3);
}

BOOL driver_directory(const std::string& server, const std::string& environment, DWORD level,
                      LPBYTE buffer, DWORD size, LPDWORD needed, bool wide) {
    if (!needed) return fail(ERROR_INVALID_PARAMETER);
    *needed = 0;
    if (!local_server(server)) return FALSE;
    if (level != 1) return fail(ERROR_INVALID_LEVEL);
    Response<requests::GetDriverDirectory> response;
    if (!call_once(requests::GetDriverDirectory{.environment = environment}, response) || !finish(response))
        return FALSE;
    const std::string& dir = response.reply.path;
    std::string bytes;
    if (wide) {
        std::u16string w16 = utf8_to_wide(dir);
        bytes.assign(reinterpret_cast<const char*>(w16.c_str()), (w16.size() + 1) * 2);
    } else {
        bytes = utf8_to_ansi(dir);
        bytes.push_back('\0');
    }
    *needed = static_cast<DWORD>(bytes.size());
    if (!buffer || size < bytes.size()) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return succeed();
}

DriverInfo read_driver_info(DWORD level, const uint8_t* info) {
    const auto* r = reinterpret_cast<const DRIVER_INFO_3W*>(info);  // level 2 is its head
    DriverInfo d;
    d.version = r->cVersion;
    d.name = wide_to_utf8(r->pName), d.environment = wide_to_utf8(r->pEnvironment);
    d.driver_path = wide_to_utf8(r->pDriverPath), d.data_file = wide_to_utf8(r->pDataFile);
    d.config_file = wide_to_utf8(r->pConfigFile);
    if (level == 3) {
        d.help_file = wide_to_utf8(r->pHelpFile), d.monitor = wide_to_utf8(r->pMonitorName);
        d.default_datatype = wide_to_utf8(r->pDefaultDataType);
        for (LPCWSTR f = r->pDependentFiles; f && *f; f += qor::wide_length(f) + 1)
            d.dependent_files.push_back(wide_to_utf8(f));
    }
    return d;
}

// The checks every call that adds something starts with.
bool add_args_ok(LPWSTR server, bool level_ok, const void* info) {
    if (!local_server(wide_to_utf8(server))) return false;
    if (!level_ok) return fail(ERROR_INVALID_LEVEL, false);
    if (!info) return fail(ERROR_INVALID_PARAMETER, false);
    return true;
}

template <class Request>
BOOL simple_call(const Request& request) {
    Response<Request> response;
    if (!call_once(request, response)) return FALSE;
    return finish(response);
}

// Waits until the service process has let go of its lock, that is, ended.
bool wait_service_gone(std::chrono::milliseconds timeout) {
    std::string path = places::runtime_dir() + "/" + kLockName;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return true;
        bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
        close(fd);
        if (free) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace
}  // namespace qor::spool

using namespace qor::spool;

extern "C" {

QORAPI BOOL GetPrinterDriverDirectoryW(LPWSTR server, LPWSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                       LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return driver_directory(wide_to_utf8(server), wide_to_utf8(environment), level, buffer, size, needed, true);
    });
}

QORAPI BOOL GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                       LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return driver_directory(ansi_to_utf8(server), ansi_to_utf8(environment), level, buffer, size, needed, false);
    });
}

QORAPI BOOL GetPrinterDriverW(HANDLE printer, LPWSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                              LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!needed) return fail(ERROR_INVALID_PARAMETER);
        *needed = 0;
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        if (level != 2 && level != 3) return fail(ERROR_INVALID_LEVEL);
        Response<requests::GetPrinterDriver> response;
        if (!call(*h->conn, requests::GetPrinterDriver{.environment = wide_to_utf8(environment)}, response) ||
            !finish(response))
            return FALSE;
        if (!pack_drivers({response.reply}, level, buffer, size, needed)) return FALSE;
        return succeed();
    });
}

QORAPI BOOL EnumPrinterDriversW(LPWSTR server, LPWSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed, LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!counters_ok(needed, returned)) return FALSE;
        if (!local_server(wide_to_utf8(server))) return FALSE;
        if (level != 2 && level != 3) return fail(ERROR_INVALID_LEVEL);
        Response<requests::EnumPrinterDrivers> response;
        if (!call_once(requests::EnumPrinterDrivers{.environment = wide_to_utf8(environment)}, response) ||
            !finish(response))
            return FALSE;
        return finish_list(response.reply, returned, [&](const std::vector<DriverInfo>& drivers) { return pack_drivers(drivers, level, buffer, size, needed); });
    });
}

QORAPI HANDLE AddPrinterW(LPWSTR server, DWORD level, LPBYTE info) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        if (!add_args_ok(server, level == 2, info)) return nullptr;
        const auto* r = reinterpret_cast<const PRINTER_INFO_2W*>(info);
        requests::AddPrinter request;
        PrinterInfo& p = request.info;
        p.name = wide_to_utf8(r->pPrinterName), p.share = wide_to_utf8(r->pShareName);
        p.port = wide_to_utf8(r->pPortName), p.driver = wide_to_utf8(r->pDriverName);
        p.comment = wide_to_utf8(r->pComment), p.location = wide_to_utf8(r->pLocation);
        p.sep_file = wide_to_utf8(r->pSepFile), p.print_processor = wide_to_utf8(r->pPrintProcessor);
        p.datatype = wide_to_utf8(r->pDatatype), p.parameters = wide_to_utf8(r->pParameters);
        if (r->pDevMode) {
            size_t n = size_t(r->pDevMode->dmSize) + r->pDevMode->dmDriverExtra;
            if (n <= kMaxPrinterData)
                p.devmode.assign(reinterpret_cast<const uint8_t*>(r->pDevMode),
                                 reinterpret_cast<const uint8_t*>(r->pDevMode) + n);
        }
        p.attributes = r->Attributes, p.priority = r->Priority, p.default_priority = r->DefaultPriority;
        p.start_time = r->StartTime, p.until_time = r->UntilTime;
        auto handle = std::make_unique<PrinterHandle>();
        handle->conn = Connection::open();
        if (!handle->conn) return nullptr;
        Response<requests::AddPrinter> response;
        if (!call(*handle->conn, request, response) || !finish(response)) return nullptr;
        HANDLE out = insert_printer_handle(std::move(handle));
        SetLastError(ERROR_SUCCESS);
        return out;
    });
}

QORAPI BOOL DeletePrinter(HANDLE printer) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        Response<requests::DeletePrinter> response;
        if (!call(*h->conn, requests::DeletePrinter{}, response)) return FALSE;
        return finish(response);
    });
}

QORAPI BOOL AddPrinterDriverW(LPWSTR server, DWORD level, LPBYTE info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!add_args_ok(server, level == 2 || level == 3, info)) return FALSE;
        return simple_call(requests::AddDriver{.info = read_driver_info(level, info)});
    });
}

QORAPI BOOL DeletePrinterDriverW(LPWSTR server, LPWSTR environment, LPWSTR driver_name) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!local_server(wide_to_utf8(server))) return FALSE;
        return simple_call(
            requests::DeleteDriver{.environment = wide_to_utf8(environment), .name = wide_to_utf8(driver_name)});
    });
}

QORAPI BOOL AddPortExW(LPWSTR server, DWORD level, LPBYTE buffer, LPWSTR monitor_name) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!add_args_ok(server, level == 1, buffer)) return FALSE;
        return simple_call(requests::AddPort{.name = wide_to_utf8(reinterpret_cast<PORT_INFO_1W*>(buffer)->pName),
                                             .monitor = wide_to_utf8(monitor_name)});
    });
}

QORAPI BOOL DeletePortW(LPWSTR server, HANDLE, LPWSTR port_name) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!local_server(wide_to_utf8(server))) return FALSE;
        return simple_call(requests::DeletePort{.name = wide_to_utf8(port_name)});
    });
}

QORAPI BOOL EnumPortsW(LPWSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!counters_ok(needed, returned)) return FALSE;
        if (!local_server(wide_to_utf8(server))) return FALSE;
        if (level != 1 && level != 2) return fail(ERROR_INVALID_LEVEL);
        Response<requests::EnumPorts> response;
        if (!call_once(requests::EnumPorts{}, response) || !finish(response)) return FALSE;
        return finish_list(response.reply, returned, [&](const std::vector<PortInfo>& ports) {
            if (level == 1)
                return pack_records<PORT_INFO_1W>(ports, buffer, size, needed, [](Packer& p, PORT_INFO_1W* r, const PortInfo& i) {
                    r->pName = p.str<char16_t>(i.name);
                });
            return pack_records<PORT_INFO_2W>(ports, buffer, size, needed, [](Packer& p, PORT_INFO_2W* r, const PortInfo& i) {
                r->pPortName = p.str<char16_t>(i.name);
                r->pMonitorName = p.str<char16_t>(i.monitor);
                std::string description = i.device;
                if (!i.settings.empty()) description += " " + i.settings;
                r->pDescription = p.str<char16_t>(description);
                r->fPortType = PORT_TYPE_WRITE | PORT_TYPE_READ;
                r->Reserved = 0;
            });
        });
    });
}

QORAPI BOOL AddMonitorW(LPWSTR server, DWORD level, LPBYTE info) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!add_args_ok(server, level == 2, info)) return FALSE;
        const auto* r = reinterpret_cast<const MONITOR_INFO_2W*>(info);
        MonitorInfo m{wide_to_utf8(r->pName), wide_to_utf8(r->pEnvironment), wide_to_utf8(r->pDLLName)};
        return simple_call(requests::AddMonitor{.info = m});
    });
}

QORAPI BOOL DeleteMonitorW(LPWSTR server, LPWSTR environment, LPWSTR monitor_name) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!local_server(wide_to_utf8(server))) return FALSE;
        return simple_call(
            requests::DeleteMonitor{.environment = wide_to_utf8(environment), .name = wide_to_utf8(monitor_name)});
    });
}

QORAPI BOOL EnumMonitorsW(LPWSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!counters_ok(needed, returned)) return FALSE;
        if (!local_server(wide_to_utf8(server))) return FALSE;
        if (level != 1 && level != 2) return fail(ERROR_INVALID_LEVEL);
        Response<requests::EnumMonitors> response;
        if (!call_once(requests::EnumMonitors{}, response) || !finish(response)) return FALSE;
        return finish_list(response.reply, returned, [&](const std::vector<MonitorInfo>& monitors) {
            if (level == 1)
                return pack_records<MONITOR_INFO_1W>(monitors, buffer, size, needed,
                                                     [](Packer& p, MONITOR_INFO_1W* r, const MonitorInfo& m) {
                                                         r->pName = p.str<char16_t>(m.name);
                                                     });
            return pack_records<MONITOR_INFO_2W>(monitors, buffer, size, needed,
                                                 [](Packer& p, MONITOR_INFO_2W* r, const MonitorInfo& m) {
                                                     r->pName = p.str<char16_t>(m.name);
                                                     r->pEnvironment = p.str<char16_t>(m.environment);
                                                     r->pDLLName = p.str<char16_t>(m.module);
                                                 });
        });
    });
}

QORAPI BOOL QorConfigurePortW(LPCWSTR port_name, LPCWSTR device, LPCWSTR settings) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return simple_call(requests::ConfigurePort{.name = wide_to_utf8(port_name),
                                                   .has_device = device != nullptr,
                                                   .device = wide_to_utf8(device),
                                                   .has_settings = settings != nullptr,
                                                   .settings = wide_to_utf8(settings)});
    });
}

QORAPI BOOL QorSpoolerControl(DWORD command) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        switch (command) {
        case QOR_SPOOLER_START: return simple_call(requests::Ping{});
        case QOR_SPOOLER_PING: {
            auto conn = Connection::open(false);
            Response<requests::Ping> response;
            return conn && call(*conn, requests::Ping{}, response) && finish(response);
        }
        case QOR_SPOOLER_STOP: {
            auto conn = Connection::open(false);
            if (conn) {
                Response<requests::Shutdown> response;
                call(*conn, requests::Shutdown{}, response);
            }
            if (!wait_service_gone(std::chrono::seconds(15))) return fail(ERROR_TIMEOUT);
            return succeed();
        }
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
        }
    });
}

}  // extern "C"
