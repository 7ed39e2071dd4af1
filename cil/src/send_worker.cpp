// The send worker: stages the task's bytes in the Data block, at most 4096
// at a time, and has the monitor side write them, restaging from the first
// byte the printer did not take. Once the caller has set the stop flag it
// only drains what is staged.
#include "workers.h"

#include "request_lock.h"
#include "spooler_calls.h"

#include "common/blocks_shared.h"
#include "common/status.h"
#include "qorcil.h"

#include <algorithm>

namespace qor::cil {

namespace {

constexpr DWORD kAfterCheckPauseMs = 50;
// Draining after a stop gives up after this many requests in a row that
// moved nothing, so a monitor side that keeps failing cannot hold the
// worker (and the request mutex) for ever.
constexpr int kStopModeRetries = 3;

bool cancelled(const Library& library, const SendTask& task) {
    return task.cancel.load() || library.sessions_closed.load() != task.session;
}

// False when the printer may not be sent to (the error is recorded).
bool may_send(Library& library, SendTask& task) {
    const auto access = access_state(library, task.requests);
    if (!access) return true;
    if (*access & kAccessRefused) {
        task.error.store(QORCIL_E_NOT_READY);
        return false;
    }
    if (*access & kAccessLocal) {
        DWORD answer = 0, returned = 0;
        if (send_request(task.requests, names::kRequestCheckConnection, &answer, &returned) == 0 && answer == 0 &&
            returned != 0) {
            task.error.store(QORCIL_E_NOT_READY);
            return false;
        }
        Sleep(kAfterCheckPauseMs);
    }
    return true;
}

// Only replies to this send are to be queued.
void clear_reply_block(Library& library) {
    auto reply = library.blocks.use(Block::Reply);
    if (!reply) return;
    blocks::BlockLock lock(names::kReplyMutex);
    if (lock.held()) blocks::reply_reset(*reply.as<blocks::ReplyBlock>());
}

void send(Library& library, SendTask& task) {
    task.sent.store(false);
    RequestLock lock;
    if (!lock.held()) {
        task.error.store(QORCIL_E_DATA_LOCKED);
        return;
    }
    if (!may_send(library, task)) return;
    clear_reply_block(library);

    auto data = library.blocks.use(Block::Data);
    const DWORD length = DWORD(task.data.size());
    DWORD left = length, confirmed = 0, staged = 0, last_answer = 0;
    bool any_sent = false;
    int idle_drains = 0;
    while (left > 0 && !cancelled(library, task) && (!task.stop.load() || confirmed > 0)) {
        const bool stopping = task.stop.load();
        if (data) {
            blocks::BlockLock block_lock(names::kDataMutex);
            if (block_lock.held()) {
                if (cancelled(library, task)) {
                    task.error.store(QORCIL_E_SEND_INCOMPLETE);
                    break;
                }
                // Stopping, only the bytes after the last answer are staged
                // again; they are the task's next unconfirmed ones.
                const DWORD count = stopping ? staged - std::min(last_answer, staged) : left;
                if (stopping && count == 0) break;
                staged = blocks::data_stage(*data.as<blocks::DataBlock>(), task.data.data() + confirmed, count);
                if (!stopping) task.staged_end.store(confirmed + staged);
            }
        }
        DWORD answer = 0;
        task.requests_sent.fetch_add(1);
        if (send_request(task.requests, names::kRequestSendData, &answer) == 0) {
            last_answer = std::min(answer, staged);
            confirmed += last_answer;
            any_sent = true;
            task.sent.store(true);
        } else {
            last_answer = 0;  // a failed request wrote nothing
        }
        if (any_sent && last_answer != 0) {
            idle_drains = 0;
            if (!task.stop.load()) {
                left = length - confirmed;
                task.progress.store(confirmed);
            }
            continue;
        }
        if (!task.stop.load()) break;
        if (++idle_drains >= kStopModeRetries) {
            task.error.store(QORCIL_E_SEND_INCOMPLETE);
            break;
        }
    }
    task.final_count.store(confirmed);
}

}  // namespace

void run_send_worker(Library& library, SendTask& task) {
    send(library, task);
    library.send_requests.worker_done(task, true);
}

}  // namespace qor::cil
