#include "status_watcher.h"

#include "common/status.h"

#include "qor/kernel.h"

namespace qor::statmon {

namespace {

constexpr DWORD kBlockLockWaitMs = 5000;

}  // namespace

CStatusWatcher::CStatusWatcher(std::mutex& monitor_lock) : lock_(monitor_lock), settings_(monitor_lock) {}

CStatusWatcher::~CStatusWatcher() { detach(); }

bool CStatusWatcher::attach() {
    detach();
    block_mutex_ = CreateMutexA(nullptr, FALSE, names::kStatusMutex);
    block_ = blocks::open_status_block();
    return block_mutex_ && block_;
}

void CStatusWatcher::detach() {
    block_ = {};
    if (block_mutex_) CloseHandle(block_mutex_);
    block_mutex_ = nullptr;
}

bool CStatusWatcher::snapshot(bool force, DWORD& status, DWORD& control) {
    if (!block_ || !block_mutex_) return false;
    const DWORD wait = WaitForSingleObject(block_mutex_, kBlockLockWaitMs);
    if (wait == WAIT_ABANDONED) ReleaseMutex(block_mutex_);
    if (wait != WAIT_OBJECT_0) return false;
    auto* block = block_.as<blocks::StatusBlock>();
    if (!(block->control & status::kControlValid)) {
        ReleaseMutex(block_mutex_);
        return false;
    }
    // A printer that is printing answers; a no-connection mark left from
    // before the job is stale.
    if ((block->control & status::kControlNoConnection) && (block->status & status::kPrinting))
        block->control &= ~status::kControlNoConnection;
    status = block->status;
    control = block->control;
    const bool changed = force || status != last_status_ || control != last_control_;
    last_status_ = status;
    last_control_ = control;
    ReleaseMutex(block_mutex_);
    return changed;
}

Decision CStatusWatcher::decide(DWORD status, UINT settings_message, DWORD control, bool popup_visible) {
    const Decision decision =
        statmon::decide(status, settings_message, control, decided(), settings_.masks(), popup_visible);
    std::lock_guard guard(lock_);
    decided_ = {status, control};
    return decision;
}

Decided CStatusWatcher::decided() const {
    std::lock_guard guard(lock_);
    return decided_;
}

}  // namespace qor::statmon
