// What stands behind a port name: a serial line, a USB or parallel printer
// device, a file, or the printer emulator's socket. Each answers the byte
// traffic and the port-driver requests it can; the rest report
// ERROR_NOT_SUPPORTED.
#pragma once

#include "qor/monitor.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qor::spooler {

struct ReadTimeouts {
    int first_ms = 0;     // wait for the first byte
    int interval_ms = 0;  // then for each following one
    int total_ms = -1;    // and for the whole read, when not negative
};

class PortDevice {
public:
    virtual ~PortDevice() = default;
    // 0 or a platform error; `written` counts the bytes that went out.
    virtual DWORD write(const uint8_t* data, size_t size, int timeout_ms, size_t& written) = 0;
    virtual DWORD read(uint8_t* buffer, size_t size, const ReadTimeouts& timeouts, size_t& got) = 0;
    // Waits until everything written has left this machine for the device:
    // 0, ERROR_TIMEOUT, or the error of a device that went away.
    virtual DWORD drain(int timeout_ms);
    // The IEEE 1284 device ID with its 2-byte big-endian length in front.
    virtual DWORD device_id(std::string& raw);
    virtual DWORD modem_status(DWORD& status);
    virtual DWORD set_break(bool on);
    virtual DWORD ieee1284_mode(WORD& read_mask, WORD& write_mask);
    virtual DWORD ieee1284_negotiate(WORD& read_mask, WORD& write_mask);
};

// How a port's device is named in its configuration.
struct DeviceTarget {
    std::string kind;      // a registered kind's prefix ("emu:"), or empty for a local device
    std::string path;      // device or file path, or what follows the kind's prefix
    std::string settings;  // serial line settings, "9600,n,8,1[,x|p]"
};

// Opens a device of a registered kind; null with `error` set on failure.
using DeviceOpener = std::unique_ptr<PortDevice> (*)(const std::string& path, DWORD& error);
// Makes configured devices "<prefix><path>" open through `opener`. The
// machine's own devices (serial, parallel, USB, files) need no registration;
// the printer emulator's kind is registered by the programs that serve it.
void register_device_kind(const std::string& prefix, DeviceOpener opener);

// The device a port name stands for, given its configured device string
// (may be empty) and, for FILE:, the document's output file.
// False (last error set) when the name has no device.
bool resolve_device(const std::string& port_name, const std::string& configured, const std::string& settings,
                    const std::string& output_file, DeviceTarget& target);

// Opens the device; null with `error` set on failure.
std::unique_ptr<PortDevice> open_device(const DeviceTarget& target, DWORD& error);

}  // namespace qor::spooler
