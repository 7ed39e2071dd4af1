// CommQorPrinterData: connect, then a send part waited for in 3000 ms
// slices up to 180 s, then a receive part waited for up to 1000 ms.
#include "calls.h"

#include "connection.h"
#include "workers.h"

#include "qorcil.h"

#include <chrono>
#include <cstring>

namespace qor::cil {

namespace {

constexpr DWORD kSliceMs = 3000;
constexpr auto kSendLimit = std::chrono::milliseconds(180000);
constexpr DWORD kAfterSendPauseMs = 100;
constexpr DWORD kReceiveWaitMs = 1000;

// Waits for the send worker. 0 or 100010; `sent` as the worker left it.
DWORD await_send(SendTask& task, HANDLE event, DWORD length, DWORD* sent) {
    const auto deadline = std::chrono::steady_clock::now() + kSendLimit;
    DWORD seen_progress = 0;
    for (;;) {
        const DWORD result = WaitForSingleObject(event, kSliceMs);
        if (result == WAIT_OBJECT_0) {
            if (task.sent.load()) {
                *sent = task.final_count.load();
                return 0;
            }
            *sent = task.progress.load();
            return QORCIL_E_SEND_INCOMPLETE;
        }
        if (result == WAIT_TIMEOUT) {
            const DWORD progress = task.progress.load();
            if (progress != seen_progress) {
                seen_progress = progress;
                if (std::chrono::steady_clock::now() < deadline) continue;
                return 0;  // still progressing after 180 s: the worker goes on alone
            }
        }
        // No progress for a whole slice: the worker only drains what it staged.
        task.stop.store(true);
        const DWORD staged_end = task.staged_end.load();
        if (staged_end <= length) {
            *sent = staged_end;
            return QORCIL_E_SEND_INCOMPLETE;
        }
        *sent = length;
        return 0;
    }
}

DWORD send_part(const std::shared_ptr<Library>& library, HANDLE requests, const BYTE* data, DWORD length,
                DWORD* sent) {
    auto& record = library->send_requests;
    if (record.busy()) return QORCIL_E_SEND_BUSY;
    auto task = std::make_shared<SendTask>();
    task->requests = requests;
    task->data.assign(data, data + length);
    task->session = library->sessions_closed.load();
    record.start(task);
    DWORD count = 0;
    DWORD result = start_worker(library, task, run_send_worker);
    if (result == 0) result = await_send(*task, record.event(), length, &count);
    record.end();
    if (sent) *sent = count;
    if (result == 0) Sleep(kAfterSendPauseMs);
    return result;
}

DWORD receive_part(const std::shared_ptr<Library>& library, HANDLE requests, BYTE* buffer, DWORD size,
                   DWORD* received) {
    auto& record = library->receive_requests;
    if (record.busy()) return QORCIL_E_RECEIVE_BUSY;
    if (!buffer || size == 0) return 0;
    auto task = std::make_shared<ReceiveTask>();
    task->requests = requests;
    task->buffer.resize(size);
    record.start(task);
    DWORD result = start_worker(library, task, run_receive_worker);
    if (result == 0) {
        const bool signalled = WaitForSingleObject(record.event(), kReceiveWaitMs) == WAIT_OBJECT_0;
        std::lock_guard take(task->take);
        task->abandoned = true;
        if (task->done.load()) {
            const DWORD count = task->count.load();
            std::memcpy(buffer, task->buffer.data(), count);
            if (received) *received = count;
        } else if (signalled) {
            result = task->error.load();
        }
    }
    record.end();
    return result;
}

}  // namespace

DWORD exchange_data(const std::shared_ptr<Library>& library, HANDLE session, const BYTE* send, DWORD send_length,
                    DWORD* sent, BYTE* receive, DWORD receive_size, DWORD* received) {
    if (sent) *sent = 0;
    if (received) *received = 0;
    if (DWORD error = check_session(session)) return error;
    Connection connection(*library);
    if (DWORD error = connection.connect()) return error;
    if (send && send_length != 0)
        if (DWORD error = send_part(library, connection.requests(), send, send_length, sent)) return error;
    return receive_part(library, connection.requests(), receive, receive_size, received);
}

}  // namespace qor::cil
