#include "scripted.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace lmtest {

ScriptedMonitor& monitor() {
    static ScriptedMonitor instance;
    return instance;
}

std::u16string wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void ScriptedMonitor::record(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
}

std::vector<std::string> ScriptedMonitor::snapshot() {
    std::lock_guard lock(mutex);
    return calls;
}

size_t ScriptedMonitor::count(const std::string& call) {
    auto all = snapshot();
    return std::count(all.begin(), all.end(), call);
}

void ScriptedMonitor::queue_reply(Bytes bytes) {
    std::lock_guard lock(mutex);
    replies.push_back(std::move(bytes));
}

namespace {

HANDLE const kUnderlying = reinterpret_cast<HANDLE>(0x5150);

std::string hex(DWORD value) {
    char text[16];
    snprintf(text, sizeof text, "%#x", value);
    return text;
}

BOOL open_port(HANDLE, LPWSTR name, PHANDLE handle) {
    auto& m = monitor();
    m.record("open " + std::string(name, name + std::char_traits<char16_t>::length(name)));
    if (!m.open_ok) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *handle = kUnderlying;
    return TRUE;
}

BOOL start_doc(HANDLE, LPWSTR, DWORD job, DWORD level, LPBYTE) {
    auto& m = monitor();
    m.record("start " + std::to_string(int(job)) + " " + std::to_string(level));
    if (!m.start_ok) SetLastError(ERROR_NOT_READY);
    return m.start_ok;
}

BOOL write_port(HANDLE, LPBYTE buffer, DWORD count, LPDWORD written) {
    auto& m = monitor();
    m.record("write " + std::to_string(count));
    std::lock_guard lock(m.mutex);
    m.written.insert(m.written.end(), buffer, buffer + count);
    *written = count;
    return TRUE;
}

BOOL read_port(HANDLE, LPBYTE buffer, DWORD size, LPDWORD read) {
    auto& m = monitor();
    if (m.read_delay_ms) std::this_thread::sleep_for(std::chrono::milliseconds(m.read_delay_ms));
    std::lock_guard lock(m.mutex);
    ++m.reads;
    m.last_read_sequence = ++m.sequence;
    *read = 0;
    if (m.replies.empty()) return TRUE;
    Bytes& front = m.replies.front();
    const DWORD n = DWORD(std::min<size_t>(size, front.size()));
    std::memcpy(buffer, front.data(), n);
    front.erase(front.begin(), front.begin() + n);
    if (front.empty()) m.replies.pop_front();
    *read = n;
    return TRUE;
}

BOOL end_doc(HANDLE) {
    monitor().record("end");
    return TRUE;
}

BOOL close_port(HANDLE) {
    auto& m = monitor();
    m.record("close");
    std::lock_guard lock(m.mutex);
    m.close_sequence = ++m.sequence;
    return TRUE;
}

BOOL set_timeouts(HANDLE, LPCOMMTIMEOUTS t, DWORD reserved) {
    monitor().record("timeouts " + std::to_string(t->ReadIntervalTimeout) + "/" +
                     std::to_string(t->ReadTotalTimeoutMultiplier) + "/" + std::to_string(t->ReadTotalTimeoutConstant) +
                     "/" + std::to_string(t->WriteTotalTimeoutMultiplier) + "/" +
                     std::to_string(t->WriteTotalTimeoutConstant) + " " + std::to_string(reserved));
    return TRUE;
}

BOOL printer_data(HANDLE, DWORD control, LPWSTR, LPWSTR in, DWORD in_size, LPWSTR out, DWORD out_size,
                  LPDWORD returned) {
    auto& m = monitor();
    std::string call = "ioctl " + hex(control);
    if (in_size == 4) {
        WORD words[2];
        std::memcpy(words, in, 4);
        call += " {" + std::to_string(words[0]) + "," + std::to_string(words[1]) + "}";
    }
    m.record(call);
    if (control == IOCTL_IEEE1284_GET_MODE) {
        if (!m.get_mode_ok || out_size < 4) return FALSE;
        std::memcpy(out, m.modes, 4);
        *returned = 4;
    } else if (control == IOCTL_SERIAL_GET_MODEMSTATUS) {
        std::memcpy(out, &m.modem_status, 4);
        *returned = 4;
    } else if (control == IOCTL_PAR_QUERY_DEVICE_ID && out_size >= 4) {
        std::memcpy(out, "ID:1", 4);
        *returned = 4;
    }
    return TRUE;
}

}  // namespace

MONITOR2 ScriptedMonitor::table(bool with_printer_data) {
    MONITOR2 t = {};
    t.cbSize = sizeof t;
    t.pfnOpenPort = open_port;
    t.pfnStartDocPort = start_doc;
    t.pfnWritePort = write_port;
    t.pfnReadPort = read_port;
    t.pfnEndDocPort = end_doc;
    t.pfnClosePort = close_port;
    t.pfnSetPortTimeOuts = set_timeouts;
    if (with_printer_data) t.pfnGetPrinterDataFromPort = printer_data;
    return t;
}

}  // namespace lmtest

namespace lmtest {

void ScriptedMonitor::reset() {
    std::lock_guard lock(mutex);
    calls.clear();
    replies.clear();
    written.clear();
    reads = 0;
    open_ok = start_ok = get_mode_ok = true;
    modes[0] = 8;
    modes[1] = 2;
    modem_status = MS_CTS_ON;
    read_delay_ms = 0;
}

}  // namespace lmtest
