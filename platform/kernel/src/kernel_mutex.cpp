// Mutexes: robust, recursive, process-shared pthread mutexes, so that the
// kernel hands an abandoned mutex to the next waiter when its owner thread
// or process dies.
#include "kernel_sync.h"
#include "qor/guard.h"
#include "qor/kernel.h"
#include "object_names.h"

#include <cerrno>
#include <ctime>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace qor::kernel {
namespace {

// The calling thread's kernel id, cached; a forked child starts afresh.
__attribute__((tls_model("initial-exec"))) thread_local pid_t cached_tid = 0;

pid_t current_tid() {
    if (cached_tid == 0) {
        static const bool registered = [] {
            pthread_atfork(nullptr, nullptr, [] { cached_tid = 0; });
            return true;
        }();
        (void)registered;
        cached_tid = pid_t(syscall(SYS_gettid));
    }
    return cached_tid;
}

// The kernel walks a dying thread's robust list and writes into each mutex it
// still owns, so that memory must stay mapped; a private mutex closed while a
// thread of this process owns it is kept for the life of the process.
void keep_mapped(std::shared_ptr<void> keepalive) {
    static std::mutex lock;
    static auto* kept = new std::vector<std::shared_ptr<void>>;
    std::lock_guard guard(lock);
    kept->push_back(std::move(keepalive));
}

#if defined(__SANITIZE_THREAD__)
constexpr bool kTimedPthreadLocks = false;  // the race detector cannot follow them
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kTimedPthreadLocks = false;
#else
constexpr bool kTimedPthreadLocks = true;
#endif
#else
constexpr bool kTimedPthreadLocks = true;
#endif

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

}

Waitable::Try MutexObject::finish_lock(int result) {
    if (result == EOWNERDEAD) {
        // We hold it now; make it usable again before anything else.
        pthread_mutex_consistent(&state_->mutex);
        return Try::Abandoned;
    }
    return result == 0 ? Try::Ready : Try::NotReady;
}

Waitable::Try MutexObject::try_acquire() {
    int r = pthread_mutex_trylock(&state_->mutex);
    if (r == EBUSY) return Try::NotReady;
    return finish_lock(r);
}

DWORD MutexObject::wait(const Deadline& deadline) {
    int r;
    if (deadline.infinite) {
        r = pthread_mutex_lock(&state_->mutex);
    } else if (kTimedPthreadLocks) {
        // Blocking in the lock itself wakes at once when the owner dies.
        r = pthread_mutex_clocklock(&state_->mutex, CLOCK_MONOTONIC, &deadline.at);
        if (r == ETIMEDOUT) return WAIT_TIMEOUT;
    } else {
        return Waitable::wait(deadline);
    }
    switch (finish_lock(r)) {
        case Try::Ready: return WAIT_OBJECT_0;
        case Try::Abandoned: return WAIT_ABANDONED;
        case Try::NotReady: break;
    }
    SetLastError(r == ENOTRECOVERABLE ? ERROR_INVALID_HANDLE : ERROR_GEN_FAILURE);
    return WAIT_FAILED;
}

MutexObject::~MutexObject() {
    // Still owned by a live thread of this process? (A thread that ended has
    // had its robust list walked already.)
    pid_t owner = __atomic_load_n(&state_->mutex.__data.__owner, __ATOMIC_RELAXED) & 0x3FFFFFFF;
    if (owner == 0 || syscall(SYS_tgkill, getpid(), owner, 0) != 0) return;
    // A named one loses its name at the last close, as on the platform; only
    // its state page outlives the handle.
    if (region_)
        region_->keep_state_mapped();
    else
        keep_mapped(std::move(keepalive_));
}

bool MutexObject::release() {
    // The pthread mutex records its owner; asking it first keeps a release
    // by another thread from ever reaching the unlock.
    if (__atomic_load_n(&state_->mutex.__data.__owner, __ATOMIC_RELAXED) != current_tid()) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    // The owner alone changes the recursion count, so this is stable here.
    bool last = state_->mutex.__data.__count == 1;
    if (pthread_mutex_unlock(&state_->mutex) != 0) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    if (last) {
        // Waiters that sleep on the generation word count themselves in
        // `sleepers` before trying the lock. The unlock above is a locked
        // instruction on x86, which already orders it before this load.
#if !defined(__x86_64__)
        std::atomic_thread_fence(std::memory_order_seq_cst);
#endif
        if (state_->sleepers.load(std::memory_order_relaxed) != 0) {
            state_->generation.fetch_add(1, std::memory_order_seq_cst);
            futex_wake_all(&state_->generation);
        }
    }
    return true;
}

}  // namespace qor::kernel

using namespace qor::kernel;

namespace {

struct PrivateMutex {
    MutexState state;
};

HANDLE create_mutex(BOOL initial_owner, const std::optional<std::string>& name) {
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
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_mutex(initial_owner, object_name(name));
    });
}

extern "C" QORAPI HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return create_mutex(initial_owner, object_name(name));
    });
}

extern "C" QORAPI HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), open_mutex);
    });
}

extern "C" QORAPI HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        return with_required_name(name, HANDLE(nullptr), open_mutex);
    });
}

extern "C" QORAPI BOOL ReleaseMutex(HANDLE mutex) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        ReadSection section;
        auto* m = find_as<MutexObject>(mutex, ObjectType::Mutex, section);
        if (!m) return FALSE;
        return m->release() ? TRUE : FALSE;
    });
}
