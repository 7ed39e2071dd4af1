#include "local_port_monitor.h"

#include "port_device.h"
#include "qor/support/utf.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace qor::spooler {
namespace {

constexpr DWORD kMaxDword = 0xFFFFFFFFu;

// One opened port. The device exists between StartDocPort and EndDocPort;
// I/O works on a snapshot of it so reads, writes and line requests from
// different threads never wait on one another here.
struct LocalPort {
    LocalPortMonitor* monitor;
    std::string name;
    std::mutex mutex;
    std::shared_ptr<PortDevice> device;
    std::string output_file;  // of the open document, for reopening
    bool broken = false;      // the device went away; reopen before the next write
    bool line_only = false;   // opened for line requests, no document yet
    COMMTIMEOUTS timeouts{};

    std::shared_ptr<PortDevice> current() {
        std::lock_guard lock(mutex);
        return device;
    }
};

LocalPort* port_of(HANDLE h) { return static_cast<LocalPort*>(h); }

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool open_for(LocalPort& port, const std::string& output_file, std::shared_ptr<PortDevice>& out) {
    PortConfig config;
    port.monitor->lookup(port.name, config);  // an unlisted path port has no configuration
    DeviceTarget target;
    if (!resolve_device(port.name, config.device, config.settings, output_file, target)) return false;
    DWORD error = 0;
    auto dev = open_device(target, error);
    if (!dev) return fail(error);
    out = std::move(dev);
    return true;
}

BOOL open_port(HANDLE monitor, LPWSTR name, PHANDLE handle) {
    if (!monitor || !name || !handle) return fail(ERROR_INVALID_PARAMETER);
    auto* m = static_cast<LocalPortMonitor*>(monitor);
    std::string port_name = utf16_to_utf8(name);
    PortConfig config;
    if (!m->lookup(port_name, config) && (port_name.empty() || port_name[0] != '/')) return fail(ERROR_UNKNOWN_PORT);
    auto* port = new LocalPort{};
    port->monitor = m;
    port->name = port_name;
    *handle = port;
    return TRUE;
}

BOOL start_doc_port(HANDLE h, LPWSTR, DWORD, DWORD level, LPBYTE doc_info) {
    auto* port = port_of(h);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    std::string output;
    // Every document-info level starts with the document name and output file.
    if (doc_info && level >= 1 && level <= 3)
        if (LPWSTR file = reinterpret_cast<LPWSTR*>(doc_info)[1]) output = utf16_to_utf8(file);
    std::lock_guard lock(port->mutex);
    bool reuse = port->device && (!port->line_only || output.empty());
    port->line_only = false;
    if (reuse) return TRUE;
    std::shared_ptr<PortDevice> dev;
    if (!open_for(*port, output, dev)) return FALSE;
    port->device = std::move(dev);
    port->output_file = output;
    port->broken = false;
    return TRUE;
}

BOOL write_port(HANDLE h, LPBYTE buffer, DWORD size, LPDWORD written) {
    auto* port = port_of(h);
    if (written) *written = 0;
    if (!port || !written) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<PortDevice> dev;
    COMMTIMEOUTS t;
    {
        std::lock_guard lock(port->mutex);
        if (!port->device) return fail(ERROR_INVALID_HANDLE);
        // What went to a device that went away is lost: no drain can succeed.
        if (size == 0 && port->broken) return fail(ERROR_DEV_NOT_EXIST);
        if (port->broken) {
            // A device that went away (unplugged, emulator restarted) is
            // opened afresh when the spooler tries again.
            std::shared_ptr<PortDevice> fresh;
            if (!open_for(*port, port->output_file, fresh)) return FALSE;
            port->device = std::move(fresh);
            port->broken = false;
        }
        dev = port->device;
        t = port->timeouts;
    }
    size_t done = 0;
    // An empty write waits until what was written has reached the device.
    DWORD error = size ? dev->write(buffer, size, write_timeout_ms(t, size), done) : dev->drain(drain_timeout_ms(t));
    *written = static_cast<DWORD>(done);
    if (error == ERROR_DEV_NOT_EXIST || error == ERROR_IO_DEVICE || error == ERROR_BROKEN_PIPE ||
        error == ERROR_INVALID_HANDLE) {
        std::lock_guard lock(port->mutex);
        if (port->device == dev) port->broken = true;
    }
    return error ? fail(error) : TRUE;
}

BOOL read_port(HANDLE h, LPBYTE buffer, DWORD size, LPDWORD read) {
    auto* port = port_of(h);
    if (read) *read = 0;
    if (!port || !read || (size && !buffer)) return fail(ERROR_INVALID_PARAMETER);
    auto dev = port->current();
    if (!dev) return fail(ERROR_INVALID_HANDLE);
    COMMTIMEOUTS t;
    {
        std::lock_guard lock(port->mutex);
        t = port->timeouts;
    }
    ReadTimeouts rt;
    // MAXDWORD interval with zero totals: return at once with what is there.
    if (!(t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutConstant == 0 && t.ReadTotalTimeoutMultiplier == 0)) {
        uint64_t total = uint64_t(t.ReadTotalTimeoutMultiplier) * size + t.ReadTotalTimeoutConstant;
        rt.first_ms = static_cast<int>(std::min<uint64_t>(total, 60000));
        rt.interval_ms = static_cast<int>(std::min<uint64_t>(t.ReadIntervalTimeout, 60000));
        // The total time-out bounds the whole read, the interval only the
        // gaps between bytes within it.
        if (total) rt.total_ms = rt.first_ms;
    }
    size_t got = 0;
    DWORD error = dev->read(buffer, size, rt, got);
    *read = static_cast<DWORD>(got);
    return error ? fail(error) : TRUE;
}

// Closing a device may discard what it has not passed on yet, so what was
// written is drained first, for as long as an empty write may take.
DWORD drain_and_close(LocalPort& port) {
    std::shared_ptr<PortDevice> dev;
    COMMTIMEOUTS t;
    bool broken;
    {
        std::lock_guard lock(port.mutex);
        dev = std::move(port.device);
        t = port.timeouts;
        broken = port.broken;
    }
    if (!dev || broken) return 0;
    return dev->drain(write_timeout_ms(t, 0));
}

BOOL end_doc_port(HANDLE h) {
    auto* port = port_of(h);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    DWORD error = drain_and_close(*port);
    return error ? fail(error) : TRUE;
}

BOOL close_port(HANDLE h) {
    auto* port = port_of(h);
    if (port) drain_and_close(*port);
    delete port;
    return TRUE;
}

BOOL set_timeouts(HANDLE h, LPCOMMTIMEOUTS cto, DWORD) {
    auto* port = port_of(h);
    if (!port || !cto) return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(port->mutex);
    port->timeouts = *cto;
    return TRUE;
}

BOOL put_out(const void* data, DWORD size, LPWSTR out, DWORD out_size, LPDWORD returned) {
    if (size > out_size || (size && !out)) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (size) std::memcpy(out, data, size);
    if (returned) *returned = size;
    return TRUE;
}

BOOL get_data_from_port(HANDLE h, DWORD control, LPWSTR, LPWSTR in, DWORD in_size, LPWSTR out, DWORD out_size,
                        LPDWORD returned) {
    auto* port = port_of(h);
    if (returned) *returned = 0;
    if (!port) return fail(ERROR_INVALID_HANDLE);
    if (control == 0) return fail(ERROR_NOT_SUPPORTED);
    // Line requests work whether or not a document is open; a device opened
    // for them stays open for the next ones until the port's document ends.
    std::shared_ptr<PortDevice> dev;
    {
        std::lock_guard lock(port->mutex);
        if (!port->device) {
            if (!open_for(*port, std::string(), port->device)) return FALSE;
            port->line_only = true;
        }
        dev = port->device;
    }
    DWORD error = 0;
    switch (control) {
    case IOCTL_PAR_QUERY_DEVICE_ID:
    case IOCTL_PAR_QUERY_RAW_DEVICE_ID: {
        std::string raw;
        if ((error = dev->device_id(raw))) break;
        if (control == IOCTL_PAR_QUERY_RAW_DEVICE_ID) return put_out(raw.data(), DWORD(raw.size()), out, out_size, returned);
        std::string text = raw.size() > 2 ? raw.substr(2) : std::string();
        if (out_size > text.size()) text.push_back('\0');
        return put_out(text.data(), DWORD(text.size()), out, out_size, returned);
    }
    case IOCTL_IEEE1284_GET_MODE: {
        WORD masks[2] = {};
        if ((error = dev->ieee1284_mode(masks[0], masks[1]))) break;
        return put_out(masks, sizeof masks, out, out_size, returned);
    }
    case IOCTL_IEEE1284_NEGOTIATE: {
        WORD masks[2] = {};
        if (!in || in_size < sizeof masks) return fail(ERROR_INVALID_PARAMETER);
        std::memcpy(masks, in, sizeof masks);
        if ((error = dev->ieee1284_negotiate(masks[0], masks[1]))) break;
        return out_size >= sizeof masks ? put_out(masks, sizeof masks, out, out_size, returned) : TRUE;
    }
    case IOCTL_SERIAL_GET_MODEMSTATUS: {
        DWORD status = 0;
        if ((error = dev->modem_status(status))) break;
        return put_out(&status, sizeof status, out, out_size, returned);
    }
    case IOCTL_SERIAL_SET_BREAK_ON:
    case IOCTL_SERIAL_SET_BREAK_OFF:
        error = dev->set_break(control == IOCTL_SERIAL_SET_BREAK_ON);
        break;
    default: error = ERROR_NOT_SUPPORTED;
    }
    return error ? fail(error) : TRUE;
}

void shutdown_monitor(HANDLE) {}

}  // namespace

int drain_timeout_ms(const COMMTIMEOUTS& t) { return write_timeout_ms(t, kDrainAllowance); }

int write_timeout_ms(const COMMTIMEOUTS& t, size_t size) {
    uint64_t ms = uint64_t(t.WriteTotalTimeoutMultiplier) * size + t.WriteTotalTimeoutConstant;
    if (ms == 0) ms = 60000;
    return static_cast<int>(std::min<uint64_t>(ms, 24u * 3600 * 1000));
}

LocalPortMonitor::LocalPortMonitor(PortConfigLookup lookup) : lookup_(std::move(lookup)), table_{} {
    table_.cbSize = sizeof(MONITOR2);
    table_.pfnOpenPort = open_port;
    table_.pfnStartDocPort = start_doc_port;
    table_.pfnWritePort = write_port;
    table_.pfnReadPort = read_port;
    table_.pfnEndDocPort = end_doc_port;
    table_.pfnClosePort = close_port;
    table_.pfnGetPrinterDataFromPort = get_data_from_port;
    table_.pfnSetPortTimeOuts = set_timeouts;
    table_.pfnShutdown = shutdown_monitor;
}

}  // namespace qor::spooler
