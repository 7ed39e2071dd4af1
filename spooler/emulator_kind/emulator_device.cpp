// The emulator's socket as a port device.
#include "emulator_device.h"

#include "port_device.h"
#include "port_io.h"
#include "qoremu/link.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace qor::spooler {
namespace {

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

std::unique_ptr<PortDevice> open_emulator(const std::string& path, DWORD& error) {
    auto device = std::make_unique<EmulatorDevice>();
    if (!device->connect(path, error)) return nullptr;
    return device;
}

}  // namespace

void register_emulator_device_kind() { register_device_kind("emu:", open_emulator); }

}  // namespace qor::spooler
