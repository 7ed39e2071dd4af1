#include "fake_cil.h"

#include <algorithm>
#include <cstring>

namespace fakecil {

namespace {

std::mutex g_mutex;
std::condition_variable g_released_cv;
bool g_released = false;
Script g_script;
HANDLE const kHandle = reinterpret_cast<HANDLE>(0x51);

DWORD open(LPCSTR name, LPHANDLE handle) {
    std::lock_guard l(g_mutex);
    ++g_script.opens;
    g_script.opened_name = name;
    if (g_script.open_result == 0) *handle = kHandle;
    return g_script.open_result;
}

DWORD comm(HANDLE, const BYTE* send, DWORD send_length, LPDWORD sent, BYTE* receive, DWORD receive_length,
           LPDWORD received) {
    std::unique_lock l(g_mutex);
    ++g_script.calls;
    if (g_script.hang) g_released_cv.wait(l, [] { return g_released; });
    const DWORD take = std::min(send_length, g_script.send_per_call);
    if (take) g_script.sent.insert(g_script.sent.end(), send, send + take);
    *sent = take;
    *received = 0;
    if (!g_script.pieces.empty()) {
        const std::vector<BYTE> piece = g_script.pieces.front();
        g_script.pieces.pop_front();
        const DWORD n = std::min<DWORD>(receive_length, DWORD(piece.size()));
        if (n) std::memcpy(receive, piece.data(), n);
        *received = n;
    }
    return g_script.comm_result;
}

DWORD close(HANDLE) {
    std::lock_guard l(g_mutex);
    ++g_script.closes;
    return 0;
}

}  // namespace

Script& script() { return g_script; }
std::unique_lock<std::mutex> lock() { return std::unique_lock(g_mutex); }

void reset() {
    std::lock_guard l(g_mutex);
    g_script = Script{};
    g_released = false;
}

void release() {
    std::lock_guard l(g_mutex);
    g_released = true;
    g_released_cv.notify_all();
}

custom::CilLink link() { return {open, comm, close}; }

custom::ExchangeTiming fast_timing(std::chrono::milliseconds after_time_out) {
    custom::ExchangeTiming t;
    t.limit = std::chrono::milliseconds(1000);
    t.after_time_out = after_time_out;
    t.between_calls = std::chrono::milliseconds(1);
    t.after_success = std::chrono::milliseconds(1);
    return t;
}

}  // namespace fakecil
