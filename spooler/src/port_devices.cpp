#include "port_device.h"
#include "port_io.h"
#include "qor/spool/serial_settings.h"

#include "qoremu/link.h"

#include <algorithm>
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

class EmulatorDevice : public PortDevice {
public:
    // The emulator serves one host at a time and notices a closed
    // connection a moment later, and a freshly started one may not listen
    // yet: keep trying for a while before calling it not ready.
    bool connect(const std::string& path, DWORD& error) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        do {
            if (link_.connect(path)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        error = ERROR_NOT_READY;
        return false;
    }
    DWORD write(const uint8_t* data, size_t size, int timeout_ms, size_t& written) override {
        written = 0;
        auto limit = std::chrono::milliseconds(timeout_ms < 0 ? 24 * 3600 * 1000 : timeout_ms);
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (written < size) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return ERROR_TIMEOUT;
            long n = link_.send(data + written, size - written, left);
            if (n < 0) return ERROR_DEV_NOT_EXIST;
            written += static_cast<size_t>(n);
        }
        return 0;
    }
    DWORD drain(int timeout_ms) override {
        if (link_.drain(std::chrono::milliseconds(std::max(timeout_ms, 0)))) return 0;
        return link_.connected() ? ERROR_TIMEOUT : ERROR_DEV_NOT_EXIST;
    }
    DWORD read(uint8_t* buffer, size_t size, const ReadTimeouts& t, size_t& got) override {
        got = 0;
        int wait = t.first_ms;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(t.total_ms, 0));
        while (got < size) {
            if (t.total_ms >= 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                wait = std::clamp(int(left.count()), 0, wait);
            }
            long n = link_.receive(buffer + got, size - got, std::chrono::milliseconds(wait));
            if (n < 0) return got ? 0 : ERROR_DEV_NOT_EXIST;
            if (n == 0) break;
            got += static_cast<size_t>(n);
            wait = t.interval_ms;
        }
        return 0;
    }
    DWORD device_id(std::string& raw) override { return link_.device_id(&raw) ? 0 : ERROR_NOT_READY; }
    DWORD modem_status(DWORD& status) override {
        uint32_t s = 0;
        if (!link_.modem_status(&s)) return ERROR_NOT_READY;
        status = s;
        return 0;
    }
    DWORD set_break(bool on) override { return (on ? link_.break_on() : link_.break_off()) ? 0 : ERROR_NOT_READY; }
    DWORD ieee1284_mode(WORD& r, WORD& w) override {
        uint16_t rm = 0, wm = 0;
        if (!link_.ieee1284_mode(&rm, &wm)) return ERROR_NOT_SUPPORTED;
        r = rm, w = wm;
        return 0;
    }
    DWORD ieee1284_negotiate(WORD& r, WORD& w) override {
        uint16_t rm = 0, wm = 0;
        if (!link_.ieee1284_negotiate(r, w, &rm, &wm)) return ERROR_NOT_SUPPORTED;
        r = rm, w = wm;
        return 0;
    }

private:
    qoremu::Link link_;
};

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "COM3" / "COM3:" -> 3 for prefix "COM"; 0 when the name is not of that form.
unsigned numbered(const std::string& name, const std::string& prefix) {
    std::string n = upper(name);
    if (n.rfind(prefix, 0) != 0) return 0;
    std::string digits = n.substr(prefix.size());
    if (!digits.empty() && digits.back() == ':') digits.pop_back();
    if (digits.empty() || digits.size() > 4) return 0;
    unsigned v = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        v = v * 10 + unsigned(c - '0');
    }
    return v;
}

}  // namespace

bool resolve_device(const std::string& port_name, const std::string& configured, const std::string& settings,
                    const std::string& output_file, DeviceSpec& spec) {
    spec = DeviceSpec{};
    spec.settings = settings;
    bool file_port = upper(port_name) == "FILE:";
    if (file_port && !output_file.empty()) {
        spec.path = output_file;
    } else if (configured.rfind("emu:", 0) == 0) {
        spec.path = configured.substr(4);
        spec.emulator = true;
    } else if (!configured.empty()) {
        spec.path = configured;
    } else if (!port_name.empty() && port_name[0] == '/') {
        spec.path = port_name;
    } else if (unsigned n = numbered(port_name, "COM")) {
        spec.path = "/dev/ttyS" + std::to_string(n - 1);
    } else if (unsigned l = numbered(port_name, "LPT")) {
        spec.path = "/dev/lp" + std::to_string(l - 1);
    } else if (unsigned u = numbered(port_name, "USB")) {
        spec.path = "/dev/usb/lp" + std::to_string(u - 1);
    }
    if (spec.path.empty()) {
        SetLastError(file_port ? ERROR_INVALID_PARAMETER : ERROR_UNKNOWN_PORT);
        return false;
    }
    return true;
}

std::unique_ptr<PortDevice> open_device(const DeviceSpec& spec, DWORD& error) {
    error = 0;
    if (spec.emulator) {
        auto dev = std::make_unique<EmulatorDevice>();
        if (!dev->connect(spec.path, error)) return nullptr;
        return dev;
    }
    struct stat st{};
    bool is_char = stat(spec.path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
    if (!is_char) {
        int fd = open(spec.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return error = error_from_errno(errno), nullptr;
        return std::make_unique<FileDevice>(fd);
    }
    int fd = open(spec.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = open(spec.path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return error = error_from_errno(errno), nullptr;
    if (isatty(fd)) {
        termios tio{};
        auto settings = spool::parse_serial_settings(spec.settings.empty() ? "9600,n,8,1" : spec.settings);
        if (!settings || tcgetattr(fd, &tio) != 0 || !spool::apply_serial_settings(*settings, tio) ||
            tcsetattr(fd, TCSANOW, &tio) != 0) {
            error = settings ? error_from_errno(errno) : ERROR_INVALID_PARAMETER;
            close(fd);
            return nullptr;
        }
        return std::make_unique<SerialDevice>(fd);
    }
    if (spec.path.find("/usb/") != std::string::npos) return std::make_unique<UsbPrinterDevice>(fd);
    return std::make_unique<FdDevice>(fd);
}

}  // namespace qor::spooler
