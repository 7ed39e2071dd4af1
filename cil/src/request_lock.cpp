#include "request_lock.h"

#include "common/status.h"
#include "qor/kernel.h"

namespace qor::cil {

namespace {

constexpr DWORD kRequestWaitMs = 2000;

}  // namespace

RequestLock::RequestLock() : mutex_(CreateMutexA(nullptr, FALSE, names::kRequestMutex)) {
    if (!mutex_) return;
    const DWORD result = WaitForSingleObject(mutex_, kRequestWaitMs);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

RequestLock::~RequestLock() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
}

}  // namespace qor::cil
