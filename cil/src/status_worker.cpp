// The status worker: two passes of the status request, each followed by a
// read of the Status block when the request succeeded.
#include "workers.h"

#include "request_lock.h"
#include "spooler_calls.h"
#include "status_reads.h"

#include "common/status.h"
#include "qorcil.h"

namespace qor::cil {

namespace {

constexpr int kPasses = 2;

void query(Library& library, StatusTask& task) {
    const char* request = task.option ? names::kRequestGetStatus : names::kRequestGetHistory;
    RequestLock lock;
    if (!lock.held()) {
        task.error.store(QORCIL_E_STATUS_LOCKED);
        return;
    }
    task.locked.store(true);
    DWORD failure = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        if (DWORD error = send_request(task.requests, request)) {
            failure = error;
            continue;
        }
        const auto block = read_status_block(library);
        if (!block) {
            failure = ERROR_INVALID_DATA;
            continue;
        }
        // A printer that fell silent since the connect has no fresh word.
        task.status.store((block->control & status::kControlNoConnection) ? status::kNoAnswerResult
                                                                          : block->status);
        task.done.store(true);
    }
    // A query that read no word says why, so that it is never taken for a
    // ready printer.
    if (!task.done.load()) task.error.store(failure);
}

}  // namespace

void run_status_worker(Library& library, StatusTask& task) {
    query(library, task);
    library.status_requests.worker_done(task, true);
}

}  // namespace qor::cil
