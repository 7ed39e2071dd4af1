// GetQorPrinterStatus: connect, run the status worker, wait up to 1000 ms.
#include "calls.h"

#include "connection.h"
#include "workers.h"

#include "common/status.h"
#include "qorcil.h"

namespace qor::cil {

namespace {

constexpr DWORD kStatusWaitMs = 1000;

// The result once the wait is over. A query that read no word is reported
// as a failure, never as success with status 0, which would mean a ready
// printer.
DWORD outcome(const StatusTask& task, bool signalled, DWORD* status) {
    if (task.done.load()) {
        *status = task.status.load();
        return 0;
    }
    if (DWORD error = task.error.load()) return error;
    if (signalled) return ERROR_INVALID_DATA;
    return task.locked.load() ? DWORD(ERROR_TIMEOUT) : QORCIL_E_STATUS_LOCKED;
}

}  // namespace

DWORD query_status(const std::shared_ptr<Library>& library, HANDLE session, DWORD* status, DWORD option) {
    if (DWORD error = check_session(session)) return error;
    if (!status) return QORCIL_E_NULL_POINTER;
    *status = 0;
    auto& record = library->status_requests;
    if (record.busy()) return QORCIL_E_STATUS_BUSY;

    Connection connection(*library);
    if (DWORD error = connection.connect()) {
        if (error != QORCIL_E_NO_ANSWER) return error;
        *status = status::kNoAnswerResult;
        return 0;
    }
    auto task = std::make_shared<StatusTask>();
    task->option = option;
    task->requests = connection.requests();
    record.start(task);
    DWORD result = start_worker(library, task, run_status_worker);
    if (result == 0) {
        const bool signalled = WaitForSingleObject(record.event(), kStatusWaitMs) == WAIT_OBJECT_0;
        result = outcome(*task, signalled, status);
    }
    record.end();
    return result;
}

}  // namespace qor::cil
