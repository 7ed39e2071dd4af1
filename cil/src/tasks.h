// What one worker run shares with the call that started it. Caller and
// worker own it together, so a worker that outlives its call (after the
// caller's wait has run out) works on the library's own copies and never on
// the caller's buffers.
#pragma once

#include "qor/base.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace qor::cil {

struct StatusTask {
    DWORD option = 0;               // non-zero: current status, zero: history
    HANDLE requests = nullptr;      // the call's spooler handle
    std::atomic<bool> locked{false};  // the request mutex was obtained
    std::atomic<bool> done{false};    // a status word was read
    std::atomic<DWORD> status{0};
    std::atomic<DWORD> error{0};
    std::atomic<bool> ended{false};
};

struct ReceiveTask {
    HANDLE requests = nullptr;
    // The caller's wait is over: a late worker must leave the Reply block's
    // bytes for the next receive. Guarded by `take`.
    bool abandoned = false;
    std::mutex take;
    std::vector<BYTE> buffer;  // the take lands here; the caller copies it out
    std::atomic<bool> done{false};
    std::atomic<DWORD> count{0};
    std::atomic<DWORD> error{0};
    std::atomic<bool> ended{false};
};

struct SendTask {
    HANDLE requests = nullptr;
    std::vector<BYTE> data;  // a copy of the caller's bytes
    uint32_t session = 0;    // the library's count of closed sessions at the start
    std::atomic<bool> sent{false};    // a send request succeeded
    std::atomic<bool> cancel{false};
    std::atomic<bool> stop{false};    // the caller saw no progress for a slice
    std::atomic<DWORD> final_count{0};
    std::atomic<DWORD> progress{0};
    std::atomic<DWORD> staged_end{0};
    std::atomic<DWORD> error{0};
    std::atomic<DWORD> requests_sent{0};
    std::atomic<bool> ended{false};
};

}  // namespace qor::cil
