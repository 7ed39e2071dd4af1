// The receive worker: asks the monitor side to queue what the printer sent,
// then takes bytes from the Reply block into the task's own buffer.
#include "workers.h"

#include "request_lock.h"
#include "spooler_calls.h"

#include "common/blocks_shared.h"
#include "common/status.h"
#include "qorcil.h"

namespace qor::cil {

namespace {

void receive(Library& library, ReceiveTask& task) {
    RequestLock lock;
    if (!lock.held()) {
        task.error.store(QORCIL_E_DATA_LOCKED);
        return;
    }
    if (const auto access = access_state(library, task.requests); access && (*access & kAccessRefused)) {
        task.error.store(QORCIL_E_NOT_READY);
        return;
    }
    if (DWORD error = send_request(task.requests, names::kRequestGetData)) {
        task.error.store(error);
        return;
    }
    auto reply = library.blocks.use(Block::Reply);
    if (!reply) return;
    blocks::BlockLock block_lock(names::kReplyMutex);
    if (!block_lock.held()) return;
    std::lock_guard take(task.take);
    if (task.abandoned) return;  // the bytes stay queued for the next receive
    task.count.store(blocks::reply_take(*reply.as<blocks::ReplyBlock>(), task.buffer.data(), task.buffer.size()));
    task.done.store(true);
}

}  // namespace

void run_receive_worker(Library& library, ReceiveTask& task) {
    receive(library, task);
    library.receive_requests.worker_done(task, false);
}

}  // namespace qor::cil
