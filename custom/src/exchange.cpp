#include "exchange.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace custom {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPumpSlice{10};

// Shared by the caller and the worker; whichever lets go last frees it.
struct WorkerState {
    CilLink link;
    std::string printer;
    std::vector<BYTE> send;
    std::vector<BYTE> receive;
    ExchangeTiming timing;
    std::atomic<bool> abort{false};

    std::mutex mutex;
    std::condition_variable finished_cv;
    bool finished = false;
    HANDLE handle = nullptr;
    bool handle_closed = false;  // the handle is closed by exactly one side
    DWORD sent = 0;
    DWORD received = 0;
};

// The handle, once: the caller at the time limit or the worker at its end.
HANDLE take_handle(WorkerState& s) {
    std::lock_guard lock(s.mutex);
    if (s.handle_closed) return nullptr;
    s.handle_closed = true;
    return s.handle;
}

void work(const std::shared_ptr<WorkerState>& state) {
    WorkerState& s = *state;
    HANDLE handle = nullptr;
    if (!s.link.complete() || s.link.open(s.printer.c_str(), &handle) != 0) {
        s.abort = true;
    } else {
        bool late = false;
        {
            std::lock_guard lock(s.mutex);
            s.handle = handle;
            late = s.handle_closed;
        }
        // Opened after the time limit took the (then empty) handle.
        if (late) s.link.close(handle);
        DWORD sent = 0, received = 0;
        const DWORD send_length = DWORD(s.send.size()), receive_length = DWORD(s.receive.size());
        for (int call = 0; call < s.timing.max_calls && !late; ++call) {
            if (s.abort) break;
            DWORD s_now = 0, r_now = 0;
            const DWORD rc = s.link.comm(handle, s.send.empty() ? nullptr : s.send.data() + sent, send_length - sent,
                                         &s_now, s.receive.empty() ? nullptr : s.receive.data() + received,
                                         receive_length - received, &r_now);
            if (rc != 0) break;
            // Counts beyond what was asked for would move the positions out of the buffers.
            sent += std::min(s_now, send_length - sent);
            received += std::min(r_now, receive_length - received);
            {
                std::lock_guard lock(s.mutex);
                s.sent = sent;
                s.received = received;
            }
            std::this_thread::sleep_for(s.timing.between_calls);
            if (sent == send_length && received == receive_length) break;
        }
        if (!late)
            if (HANDLE h = take_handle(s)) s.link.close(h);
    }
    std::lock_guard lock(s.mutex);
    s.finished = true;
    s.finished_cv.notify_all();
}

void pause(std::chrono::milliseconds duration, const std::function<void()>& pump) {
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (pump) pump();
        std::this_thread::sleep_for(std::min<Clock::duration>(kPumpSlice, end - Clock::now()));
    }
}

}  // namespace

AbandonedWorkers::~AbandonedWorkers() {
    for (std::thread& worker : workers_) worker.join();
}

void AbandonedWorkers::add(std::thread worker) { workers_.push_back(std::move(worker)); }

ExchangeResult run_exchange(const CilLink& link, const std::string& printer, const std::vector<BYTE>& send,
                            DWORD receive_length, const ExchangeTiming& timing,
                            const std::function<void()>& pump, AbandonedWorkers& abandoned) {
    auto state = std::make_shared<WorkerState>();
    state->link = link;
    state->printer = printer;
    state->send = send;
    state->receive.assign(receive_length, 0);
    state->timing = timing;

    ExchangeResult result;
    std::thread worker;
    try {
        worker = std::thread(work, state);
    } catch (const std::system_error&) {
        return result;
    }

    const auto deadline = Clock::now() + timing.limit;
    bool finished = false;
    {
        std::unique_lock lock(state->mutex);
        while (!state->finished && Clock::now() < deadline) {
            state->finished_cv.wait_until(lock, std::min(deadline, Clock::now() + kPumpSlice));
            if (pump && !state->finished) {
                lock.unlock();
                pump();
                lock.lock();
            }
        }
        finished = state->finished;
    }
    if (!finished) {
        // The worker is left to end on its own; it only touches `state`.
        state->abort = true;
        abandoned.add(std::move(worker));
        pause(timing.after_time_out, pump);
        if (HANDLE h = take_handle(*state)) link.close(h);
        result.timed_out = true;
        return result;
    }
    worker.join();
    result.sent = state->sent;
    result.received = state->received;
    result.reply.assign(state->receive.begin(), state->receive.begin() + result.received);
    result.ok = !state->abort && result.sent == send.size();
    if (result.ok) pause(timing.after_success, pump);
    return result;
}

}  // namespace custom
