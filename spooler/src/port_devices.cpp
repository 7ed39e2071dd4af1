#include "port_device.h"
#include "qor/spool/ports.h"
#include "port_io.h"
#include "qor/spool/serial_settings.h"


#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qor::spooler {

DWORD PortDevice::drain(int) { return 0; }
DWORD PortDevice::device_id(std::string&) { return ERROR_NOT_SUPPORTED; }
DWORD PortDevice::modem_status(DWORD&) { return ERROR_NOT_SUPPORTED; }
DWORD PortDevice::set_break(bool) { return ERROR_NOT_SUPPORTED; }
DWORD PortDevice::ieee1284_mode(WORD&, WORD&) { return ERROR_NOT_SUPPORTED; }
DWORD PortDevice::ieee1284_negotiate(WORD&, WORD&) { return ERROR_NOT_SUPPORTED; }

namespace {

// A device reached through a file descriptor: parallel printers, and the
// base of the serial and USB devices.
class FdDevice : public PortDevice {
public:
    explicit FdDevice(int fd) : fd_(fd) {}
    ~FdDevice() override { close(fd_); }
    DWORD write(const uint8_t* data, size_t size, int timeout_ms, size_t& written) override {
        return write_all(fd_, data, size, timeout_ms, written);
    }
    DWORD read(uint8_t* buffer, size_t size, const ReadTimeouts& t, size_t& got) override {
        return read_some(fd_, buffer, size, t.first_ms, t.interval_ms, got, t.total_ms);
    }

protected:
    int fd_;
};

class SerialDevice : public FdDevice {
public:
    using FdDevice::FdDevice;
    // What tcdrain waits for, bounded by the time-out: the driver's queue,
    // then the transmitter, empty. Lines whose driver cannot tell the
    // transmitter's state count as drained once the queue is.
    DWORD drain(int timeout_ms) override {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
        bool queue_empty = false;
        for (;;) {
            int value = 0;
            if (!queue_empty) {
                if (ioctl(fd_, TIOCOUTQ, &value) != 0) return error_from_errno(errno);
                queue_empty = value == 0;
            }
            if (queue_empty) {
                if (ioctl(fd_, TIOCSERGETLSR, &value) != 0 || (value & TIOCSER_TEMT)) return 0;
            }
            if (std::chrono::steady_clock::now() >= deadline) return ERROR_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    DWORD modem_status(DWORD& status) override {
        int bits = 0;
        if (ioctl(fd_, TIOCMGET, &bits) != 0) return error_from_errno(errno);
        status = 0;
        if (bits & TIOCM_CTS) status |= MS_CTS_ON;
        if (bits & TIOCM_DSR) status |= MS_DSR_ON;
        if (bits & TIOCM_RI) status |= MS_RING_ON;
        if (bits & TIOCM_CD) status |= MS_RLSD_ON;
        return 0;
    }
    DWORD set_break(bool on) override {
        return ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : error_from_errno(errno);
    }
};

// The USB printer class driver's device-ID request (not in the public
// headers): _IOC(_IOC_READ, 'P', 1, len).
constexpr unsigned long usblp_get_device_id(unsigned len) { return _IOC(_IOC_READ, 'P', 1, len); }

class UsbPrinterDevice : public FdDevice {
public:
    using FdDevice::FdDevice;
    // The class driver finishes a transfer before it takes the next one; a
    // sync waits for the last. A driver without it has finished at write.
    DWORD drain(int) override {
        if (fsync(fd_) == 0 || errno == EINVAL || errno == EROFS) return 0;
        return error_from_errno(errno);
    }
    DWORD device_id(std::string& raw) override {
        char buf[1024] = {};
        if (ioctl(fd_, usblp_get_device_id(sizeof buf), buf) < 0) return error_from_errno(errno);
        size_t len = (size_t(uint8_t(buf[0])) << 8) | uint8_t(buf[1]);
        raw.assign(buf, std::clamp<size_t>(len, 2, sizeof buf));
        return 0;
    }
};

// A file port: everything sent is appended; nothing comes back.
class FileDevice : public FdDevice {
public:
    using FdDevice::FdDevice;
    DWORD read(uint8_t*, size_t, const ReadTimeouts&, size_t& got) override {
        got = 0;
        return 0;
    }
};


// Device kinds beyond the machine's own devices, by their configuration
// prefix ("emu:"). Registered once at start, before any port opens.
struct KindTable {
    std::mutex lock;
    std::map<std::string, DeviceOpener> openers;
};
KindTable& kinds() {
    static KindTable table;
    return table;
}

std::string kind_prefix_of(const std::string& configured) {
    KindTable& t = kinds();
    std::lock_guard guard(t.lock);
    for (const auto& [prefix, opener] : t.openers)
        if (configured.rfind(prefix, 0) == 0) return prefix;
    return {};
}

DeviceOpener opener_of(const std::string& prefix) {
    KindTable& t = kinds();
    std::lock_guard guard(t.lock);
    auto it = t.openers.find(prefix);
    return it == t.openers.end() ? nullptr : it->second;
}

// Paths that were character devices when a port last opened them. When
// such a device goes away (a printer unplugged, a serial adapter pulled,
// the emulator's terminal closed) the port must wait for it to come back,
// never write the rest of a job into a new plain file at its name.
struct SeenDevices {
    std::mutex lock;
    std::set<std::string> paths;
};
SeenDevices& seen_devices() {
    static SeenDevices seen;
    return seen;
}

void remember_device(const std::string& path) {
    SeenDevices& s = seen_devices();
    std::lock_guard guard(s.lock);
    s.paths.insert(path);
}

// Whether a missing `path` stands for a device that is away: one that was
// seen before, a node of the device folder (a stable name the device
// manager keeps), or a link whose device has gone.
bool device_away(const std::string& path) {
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
    if (path.rfind("/dev/", 0) == 0) return true;
    SeenDevices& s = seen_devices();
    std::lock_guard guard(s.lock);
    return s.paths.count(path) != 0;
}

}  // namespace

void register_device_kind(const std::string& prefix, DeviceOpener opener) {
    KindTable& t = kinds();
    std::lock_guard guard(t.lock);
    t.openers[prefix] = opener;
}

bool resolve_device(const std::string& port_name, const std::string& configured, const std::string& settings,
                    const std::string& output_file, DeviceTarget& target) {
    target = DeviceTarget{};
    target.settings = settings;
    const bool file_port = ports::classify(port_name) == ports::PortClass::File;
    if (file_port && !output_file.empty()) {
        target.path = output_file;
    } else if (const std::string prefix = kind_prefix_of(configured); !prefix.empty()) {
        target.kind = prefix;
        target.path = configured.substr(prefix.size());
    } else if (!configured.empty()) {
        target.path = configured;
    } else {
        target.path = ports::default_device(port_name);
    }
    if (target.path.empty()) {
        SetLastError(file_port ? ERROR_INVALID_PARAMETER : ERROR_UNKNOWN_PORT);
        return false;
    }
    return true;
}

std::unique_ptr<PortDevice> open_device(const DeviceTarget& target, DWORD& error) {
    error = 0;
    if (!target.kind.empty()) {
        DeviceOpener opener = opener_of(target.kind);
        if (!opener) return error = ERROR_UNKNOWN_PORT, nullptr;
        return opener(target.path, error);
    }
    struct stat st{};
    bool present = stat(target.path.c_str(), &st) == 0;
    if (!present && device_away(target.path)) return error = ERROR_DEV_NOT_EXIST, nullptr;
    bool is_char = present && S_ISCHR(st.st_mode);
    if (!is_char) {
        int fd = open(target.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return error = error_from_errno(errno), nullptr;
        return std::make_unique<FileDevice>(fd);
    }
    int fd = open(target.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return error = error_from_errno(errno), nullptr;
    remember_device(target.path);
    if (isatty(fd)) {
        termios tio{};
        auto settings = spool::parse_serial_settings(target.settings.empty() ? ports::kDefaultSerialSettings : target.settings);
        if (!settings || tcgetattr(fd, &tio) != 0 || !spool::apply_serial_settings(*settings, tio) ||
            tcsetattr(fd, TCSANOW, &tio) != 0) {
            error = settings ? error_from_errno(errno) : ERROR_INVALID_PARAMETER;
            close(fd);
            return nullptr;
        }
        return std::make_unique<SerialDevice>(fd);
    }
    if (target.path.find("/usb/") != std::string::npos) return std::make_unique<UsbPrinterDevice>(fd);
    return std::make_unique<FdDevice>(fd);
}

}  // namespace qor::spooler
