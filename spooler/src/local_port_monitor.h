// The port monitor inside qorspoold: the MONITOR2 table for local ports
// (COMn, LPTn, USBnnn, FILE: and file paths, and emulator ports). The
// device behind a port name comes from the port's configuration, looked up
// when a document starts so a changed configuration applies to the next job.
#pragma once

#include "qor/monitor.h"

#include <functional>
#include <string>

namespace qor::spooler {

struct PortConfig {
    std::string device;    // empty: the default for the name
    std::string settings;  // serial line settings
};

// False when the port is not known.
using PortConfigLookup = std::function<bool(const std::string& port_name, PortConfig& config)>;

class LocalPortMonitor {
public:
    explicit LocalPortMonitor(PortConfigLookup lookup);
    LocalPortMonitor(const LocalPortMonitor&) = delete;
    LocalPortMonitor& operator=(const LocalPortMonitor&) = delete;

    // The table and the monitor handle its entries expect; a language
    // monitor gets both through pfnOpenPortEx.
    MONITOR2* table() { return &table_; }
    HANDLE handle() { return this; }

    bool lookup(const std::string& port_name, PortConfig& config) const { return lookup_(port_name, config); }

private:
    PortConfigLookup lookup_;
    MONITOR2 table_;
};

// Write time-out for a write of `size` bytes under the given time-outs:
// the platform's multiplier and constant, or a minute when both are 0.
int write_timeout_ms(const COMMTIMEOUTS& t, size_t size);
// An empty write drains the port; it may take as long as writing what a
// line holds in flight.
constexpr size_t kDrainAllowance = 4096;
int drain_timeout_ms(const COMMTIMEOUTS& t);

}  // namespace qor::spooler
