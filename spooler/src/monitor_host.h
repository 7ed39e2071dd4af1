// Hosting of language monitors and the per-printer monitor chain.
//
// A language monitor is a module exporting
//     LPMONITOR2 InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);
// loaded once per module file (from the driver folder's "3" subfolder, the
// driver folder, then the service's own folder; letter case and a ".dll"
// ending are ignored). A printer whose driver names a language monitor gets
// the chain
//     lm->pfnOpenPortEx(lm_handle, port_monitor_handle, port, printer, &port_handle,
//                       port_monitor_table)
// and its jobs and unknown printer-data names go through the language
// monitor's table; without one they go straight to the port monitor.
#pragma once

#include "local_port_monitor.h"

#include "qor/spooler.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qor::spooler {

struct LoadedMonitor {
    void* module = nullptr;
    LPMONITOR2 table = nullptr;
    HANDLE handle = nullptr;
};

class LanguageMonitors {
public:
    LanguageMonitors() = default;
    LanguageMonitors(const LanguageMonitors&) = delete;
    LanguageMonitors& operator=(const LanguageMonitors&) = delete;

    // The monitor in `module_file`, loading it on first use. Null with the
    // last error set when it cannot be loaded or initialised.
    const LoadedMonitor* load(const std::string& module_file);
    // Calls every monitor's pfnShutdown; the modules stay mapped.
    void shutdown_all();

private:
    std::mutex mutex_;
    std::map<std::string, LoadedMonitor> loaded_;
};

// Finds a module file by name in the usual folders; empty when absent.
std::string find_monitor_module(const std::string& module_file);

class MonitorChain {
public:
    // Opens `port` for `printer` through `lm` (may be null). Null with
    // `error` set on failure.
    static std::shared_ptr<MonitorChain> open(LocalPortMonitor& ports, const LoadedMonitor* lm,
                                              const std::string& printer, const std::string& port, DWORD& error);
    ~MonitorChain();
    MonitorChain(const MonitorChain&) = delete;
    MonitorChain& operator=(const MonitorChain&) = delete;

    bool has_language_monitor() const { return language_monitor_; }
    // 0 or the monitor's last error (ERROR_GEN_FAILURE when it left none).
    DWORD start_doc(DWORD job_id, const std::string& document, const std::string& output_file);
    DWORD write(const uint8_t* data, DWORD size, DWORD& written);
    DWORD end_doc();
    // Control code 0 request for an unknown printer-data name.
    DWORD get_data(const std::string& value_name, uint8_t* out, DWORD size, DWORD& returned);

private:
    MonitorChain() = default;
    LPMONITOR2 table_ = nullptr;
    HANDLE port_ = nullptr;
    bool language_monitor_ = false;
    std::u16string printer_;
};

}  // namespace qor::spooler
