// Critical sections: recursive, process-private locks.
#include "qor/kernel.h"
#include "qor/guard.h"

#include <mutex>

namespace {
std::recursive_mutex* lock_of(LPCRITICAL_SECTION cs) { return static_cast<std::recursive_mutex*>(cs->DebugInfo); }
}  // namespace

extern "C" QORAPI void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    qor::guarded_void([&] {
        *cs = CRITICAL_SECTION{};
        cs->DebugInfo = new std::recursive_mutex;
        cs->LockCount = -1;
    });
}

extern "C" QORAPI BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        InitializeCriticalSection(cs);
        cs->SpinCount = spin;
        return TRUE;
    });
}

extern "C" QORAPI void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    qor::guarded_void([&] {
        lock_of(cs)->lock();
        ++cs->RecursionCount;
    });
}

extern "C" QORAPI BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!lock_of(cs)->try_lock()) return FALSE;
        ++cs->RecursionCount;
        return TRUE;
    });
}

extern "C" QORAPI void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    qor::guarded_void([&] {
        --cs->RecursionCount;
        lock_of(cs)->unlock();
    });
}

extern "C" QORAPI void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    qor::guarded_void([&] {
        delete lock_of(cs);
        cs->DebugInfo = nullptr;
    });
}
