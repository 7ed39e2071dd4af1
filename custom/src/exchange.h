// One request/reply exchange with the printer through QORCIL on a worker
// thread, under a time limit. The worker works on its own copies of the
// request and the reply, shared with this side, so a worker abandoned at the
// time limit can never write into the caller's memory or freed state.
#pragma once

#include "qorcil.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace custom {

// The three entries an exchange calls.
struct CilLink {
    PFN_OpenQorPrinterA open = nullptr;
    PFN_CommQorPrinterData comm = nullptr;
    PFN_CloseQorPrinter close = nullptr;
    bool complete() const { return open && comm && close; }
};

struct ExchangeTiming {
    std::chrono::milliseconds limit{5000};
    std::chrono::milliseconds after_time_out{1000};
    std::chrono::milliseconds between_calls{30};
    std::chrono::milliseconds after_success{200};
    int max_calls = 5;
};

struct ExchangeResult {
    bool ok = false;
    bool timed_out = false;
    DWORD sent = 0;
    DWORD received = 0;
    std::vector<BYTE> reply;  // the `received` bytes
};

// Workers left running at a time limit. They are joined when this goes, so
// none is still inside the library while the program's statics are torn
// down; the library's own limits end their calls.
class AbandonedWorkers {
public:
    AbandonedWorkers() = default;
    ~AbandonedWorkers();
    AbandonedWorkers(const AbandonedWorkers&) = delete;
    AbandonedWorkers& operator=(const AbandonedWorkers&) = delete;
    void add(std::thread worker);

private:
    std::vector<std::thread> workers_;
};

// Succeeds when the printer opened, no call failed or ran out of time and
// every byte was sent; the reply is judged by its reader. `pump` is called
// while the worker runs (the window keeps painting); it may be empty.
// Returns only once the printer handle is closed, so no second exchange can
// overlap this one.
ExchangeResult run_exchange(const CilLink& link, const std::string& printer, const std::vector<BYTE>& send,
                            DWORD receive_length, const ExchangeTiming& timing,
                            const std::function<void()>& pump, AbandonedWorkers& abandoned);

}  // namespace custom
