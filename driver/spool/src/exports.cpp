// The spooler-side driver's exports, bound by name by the rendering driver.
// Job handles are checked against the live jobs of this module before use.
#include "exports.h"
#include "qor/guard.h"

#include "dispatch.h"
#include "job.h"
#include "output.h"

#include <mutex>
#include <new>
#include <unordered_set>

namespace {

std::mutex g_jobs_lock;
// Made with the first job and freed with the last, so that nothing is left
// behind when the rendering driver unloads this module at document end.
std::unordered_set<SPLJOB*>* g_jobs = nullptr;

SPLJOB* Lookup(HANDLE handle) noexcept {
    auto* job = static_cast<SPLJOB*>(handle);
    std::lock_guard<std::mutex> lock(g_jobs_lock);
    if (!job || !g_jobs || g_jobs->count(job) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return job;
}

bool Register(SPLJOB* job) noexcept {
    return qor::guarded(false, [&] {
        std::lock_guard<std::mutex> lock(g_jobs_lock);
        if (!g_jobs) g_jobs = new std::unordered_set<SPLJOB*>();
        g_jobs->insert(job);
        return true;
    });
}

void Unregister(SPLJOB* job) noexcept {
    std::lock_guard<std::mutex> lock(g_jobs_lock);
    if (!g_jobs) return;
    g_jobs->erase(job);
    if (g_jobs->empty()) {
        delete g_jobs;
        g_jobs = nullptr;
    }
}

}  // namespace

QORAPI HANDLE WINAPI DrvSplStartDoc(HANDLE printer, DWORD job_id) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        auto* job = new (std::nothrow) SPLJOB();
        if (!job || !Register(job)) {
            delete job;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        job->printer = printer;
        job->job_id = job_id;
        return job;
    });
}

QORAPI BOOL WINAPI DrvSplWritePrinter(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD written) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        DWORD ignored = 0;
        if (!written) written = &ignored;
        *written = 0;
        SPLJOB* job = Lookup(handle);
        if (!job) return FALSE;
        return DispatchWrite(job, static_cast<const BYTE*>(buffer), length, written);
    });
}

QORAPI BOOL WINAPI DrvSplStartPage(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        SPLJOB* job = Lookup(handle);
        if (!job) return FALSE;
        ++job->start_pages;
        return TRUE;
    });
}

QORAPI BOOL WINAPI DrvSplEndPage(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        SPLJOB* job = Lookup(handle);
        if (!job) return FALSE;
        ++job->end_pages;
        return TRUE;
    });
}

QORAPI BOOL WINAPI DrvSplEndDoc(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        SPLJOB* job = Lookup(handle);
        if (!job) return FALSE;
        job->flags |= JOB_ENDED;
        DiffusionRelease(&job->diffusion);
        return TRUE;
    });
}

QORAPI BOOL WINAPI DrvSplAbort(HANDLE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        SPLJOB* job = Lookup(handle);
        if (!job) return FALSE;
        job->flags |= JOB_ABORTED;
        return TRUE;
    });
}

QORAPI void WINAPI DrvSplClose(HANDLE handle) {
    qor::guarded_void([&] {
        SPLJOB* job = Lookup(handle);
        if (!job) return;
        Unregister(job);
        ReleasePage(job);
        delete job;
    });
}
