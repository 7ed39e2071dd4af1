// Mutexes: robust, recursive, process-shared pthread mutexes, so that the
// kernel hands an abandoned mutex to the next waiter when its owner thread
// or process dies.
#include "kernel_sync.h"
#include "qor/kernel.h"
#include "utf.h"

#include <cerrno>
#include <ctime>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace qor::kernel {
namespace {

uint32_t current_tid() {
    static thread_local uint32_t tid = uint32_t(syscall(SYS_gettid));
    return tid;
}

// The kernel walks a dying thread's robust list and writes into each mutex it
// still owns, so that memory must stay mapped until then. Every mutex a
// thread owns is pinned here; what a thread still holds when it ends stays
// pinned for the life of the process.
struct PinnedByThread {
    std::vector<std::pair<MutexState*, std::shared_ptr<void>>> pins;
    ~PinnedByThread() {
        static std::mutex lock;
        static auto* abandoned = new std::vector<std::shared_ptr<void>>;
        std::lock_guard guard(lock);
        for (auto& p : pins) abandoned->push_back(std::move(p.second));
    }
};

thread_local PinnedByThread pinned;

void pin(MutexState* state, const std::shared_ptr<void>& keepalive) { pinned.pins.emplace_back(state, keepalive); }

void unpin(MutexState* state) {
    auto& pins = pinned.pins;
    for (auto it = pins.rbegin(); it != pins.rend(); ++it) {
        if (it->first == state) {
            pins.erase(std::next(it).base());
            return;
        }
    }
}

}  // namespace

void MutexObject::initialise(MutexState* state) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&state->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    state->generation.store(0);
    state->sleepers.store(0);
    state->owner_tid.store(0);
    state->depth.store(0);
}

Waitable::Try MutexObject::finish_lock(int result) {
    bool abandoned = false;
    if (result == EOWNERDEAD) {
        // We hold it now; make it usable again before anything else.
        pthread_mutex_consistent(&state_->mutex);
        state_->depth.store(0, std::memory_order_relaxed);
        abandoned = true;
    } else if (result != 0) {
        return Try::NotReady;
    }
    uint32_t depth = state_->depth.load(std::memory_order_relaxed) + 1;
    state_->depth.store(depth, std::memory_order_relaxed);
    if (depth == 1) {
        state_->owner_tid.store(current_tid(), std::memory_order_relaxed);
        pin(state_, keepalive_);
    }
    return abandoned ? Try::Abandoned : Try::Ready;
}

Waitable::Try MutexObject::try_acquire() {
    int r = pthread_mutex_trylock(&state_->mutex);
    if (r == EBUSY) return Try::NotReady;
    return finish_lock(r);
}

DWORD MutexObject::wait(const Deadline& deadline) {
    // Bounded waits sleep on the generation word like every other object:
    // timed pthread locks take the wall clock, and some tools do not track
    // an abandoned mutex handed over by them.
    if (!deadline.infinite) return Waitable::wait(deadline);
    int r = pthread_mutex_lock(&state_->mutex);
    switch (finish_lock(r)) {
        case Try::Ready: return WAIT_OBJECT_0;
        case Try::Abandoned: return WAIT_ABANDONED;
        case Try::NotReady: break;
    }
    SetLastError(r == ENOTRECOVERABLE ? ERROR_INVALID_HANDLE : ERROR_GEN_FAILURE);
    return WAIT_FAILED;
}

bool MutexObject::release() {
    if (state_->owner_tid.load(std::memory_order_relaxed) != current_tid() ||
        state_->depth.load(std::memory_order_relaxed) == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    uint32_t depth = state_->depth.load(std::memory_order_relaxed) - 1;
    state_->depth.store(depth, std::memory_order_relaxed);
    if (depth == 0) state_->owner_tid.store(0, std::memory_order_relaxed);
    if (pthread_mutex_unlock(&state_->mutex) != 0) {
        state_->depth.store(depth + 1, std::memory_order_relaxed);
        if (depth == 0) state_->owner_tid.store(current_tid(), std::memory_order_relaxed);
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    if (depth == 0) {
        unpin(state_);
        signal_generation(&state_->generation, &state_->sleepers);
    }
    return true;
}

}  // namespace qor::kernel

using namespace qor::kernel;

namespace {

struct PrivateMutex {
    MutexState state;
};

HANDLE create_mutex(BOOL initial_owner, const std::string* name) {
    std::shared_ptr<MutexObject> object;
    bool existed = false;
    if (!name) {
        auto block = std::make_shared<PrivateMutex>();
        MutexObject::initialise(&block->state);
        object = std::make_shared<MutexObject>(block, &block->state);
    } else {
        auto r = open_named(*name, NamedKind::Mutex, 0, true,
                            [](void* s) { MutexObject::initialise(static_cast<MutexState*>(s)); });
        if (!r.region) {
            SetLastError(r.error);
            return nullptr;
        }
        existed = r.existed;
        auto* state = static_cast<MutexState*>(r.region->state());
        object = std::make_shared<MutexObject>(r.region, state);
    }
    // An existing mutex is opened as it is: the initial-owner request only
    // applies to the creator.
    if (initial_owner && !existed) object->try_acquire();
    HANDLE h = insert_handle(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

HANDLE open_mutex(const std::string& name) {
    auto r = open_named(name, NamedKind::Mutex, 0, false, nullptr);
    if (!r.region) {
        SetLastError(r.error);
        return nullptr;
    }
    auto* state = static_cast<MutexState*>(r.region->state());
    return insert_handle(std::make_shared<MutexObject>(r.region, state));
}

}  // namespace

extern "C" QORAPI HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCSTR name) {
    if (!name) return create_mutex(initial_owner, nullptr);
    std::string n = qor::acp_to_utf8(name);
    return create_mutex(initial_owner, &n);
}

extern "C" QORAPI HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name) {
    if (!name) return create_mutex(initial_owner, nullptr);
    std::string n = qor::utf16_to_utf8(name);
    return create_mutex(initial_owner, &n);
}

extern "C" QORAPI HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return open_mutex(qor::acp_to_utf8(name));
}

extern "C" QORAPI HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return open_mutex(qor::utf16_to_utf8(name));
}

extern "C" QORAPI BOOL ReleaseMutex(HANDLE mutex) {
    auto m = lookup_as<MutexObject>(mutex, ObjectType::Mutex);
    if (!m) return FALSE;
    return m->release() ? TRUE : FALSE;
}
