// Threads: pthreads with the caller's stack size, a priority mapped to the
// thread's nice value, and a handle that is signalled when the thread ends.
#include "kernel_sync.h"
#include "qor/guard.h"
#include "qor/kernel.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qor::kernel {
namespace {

// Linux lets any thread lower its own priority; raising it needs privileges
// (a failure there is ignored, the suite only ever lowers it).
int nice_for(int priority) {
    if (priority <= THREAD_PRIORITY_IDLE) return 19;
    return std::clamp(-priority * 5, -20, 19);
}

class ThreadObject final : public Waitable {
public:
    ThreadObject() : Waitable(ObjectType::Thread) {}
    Try try_acquire() override { return finished.load(std::memory_order_seq_cst) ? Try::Ready : Try::NotReady; }
    std::atomic<uint32_t>* generation() override { return &generation_; }
    std::atomic<uint32_t>* sleepers() override { return &sleepers_; }

    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    std::atomic<uint32_t> finished{0};
    std::atomic<DWORD> exit_code{STILL_ACTIVE};
    std::atomic<uint32_t> resumed{1};  // 0 while created suspended

    std::mutex lock;  // guards tid and priority
    pid_t tid = 0;
    int priority = THREAD_PRIORITY_NORMAL;

    void apply_priority() {
        if (tid != 0) setpriority(PRIO_PROCESS, id_t(tid), nice_for(priority));
    }

    void finish(DWORD code) {
        exit_code.store(code, std::memory_order_seq_cst);
        finished.store(1, std::memory_order_seq_cst);
        signal_generation(&generation_, &sleepers_);
    }

private:
    std::atomic<uint32_t> generation_{0};
    std::atomic<uint32_t> sleepers_{0};
};

thread_local std::shared_ptr<ThreadObject> current_thread_object;

void* trampoline(void* arg) {
    auto self = *static_cast<std::shared_ptr<ThreadObject>*>(arg);
    delete static_cast<std::shared_ptr<ThreadObject>*>(arg);
    {
        std::lock_guard guard(self->lock);
        self->tid = pid_t(syscall(SYS_gettid));
        if (self->priority != THREAD_PRIORITY_NORMAL) self->apply_priority();
    }
    while (self->resumed.load(std::memory_order_seq_cst) == 0) futex_wait(&self->resumed, 0, Deadline{});
    current_thread_object = self;
    DWORD code = self->start(self->parameter);
    current_thread_object.reset();
    self->finish(code);
    return nullptr;
}

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(intptr_t(-2));

// The platform takes the requested size as what to commit at first and
// reserves at least its default megabyte, so callers ask for small stacks
// (16 KB) and still call into code that needs more. Linux commits stack pages
// lazily, so reserving the larger size costs nothing.
size_t stack_for(SIZE_T requested) {
    constexpr size_t kDefaultReserve = size_t(1) << 20;
    size_t page = size_t(sysconf(_SC_PAGESIZE));
    size_t size = (size_t(requested) + page - 1) / page * page;
    return std::max({size, kDefaultReserve, size_t(PTHREAD_STACK_MIN)});
}

}  // namespace
}  // namespace qor::kernel

using namespace qor::kernel;

extern "C" QORAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD flags, LPDWORD thread_id) {
    return qor::guarded(static_cast<HANDLE>(nullptr), [&]() -> HANDLE {
        if (!start) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto object = std::make_shared<ThreadObject>();
        object->start = start;
        object->parameter = parameter;
        if (flags & CREATE_SUSPENDED) object->resumed.store(0);
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, stack_for(stack_size));
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        auto* arg = new std::shared_ptr<ThreadObject>(object);
        pthread_t thread;
        int r = pthread_create(&thread, &attr, trampoline, arg);
        pthread_attr_destroy(&attr);
        if (r != 0) {
            delete arg;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (thread_id) {
            // The id is the kernel's thread id, known once the thread runs.
            for (;;) {
                {
                    std::lock_guard guard(object->lock);
                    if (object->tid != 0) {
                        *thread_id = DWORD(object->tid);
                        break;
                    }
                }
                sched_yield();
            }
        }
        return insert_handle(object);
    });
}

extern "C" QORAPI DWORD ResumeThread(HANDLE thread) {
    return qor::guarded(DWORD(-1), [&]() -> DWORD {
        auto t = lookup_as<ThreadObject>(thread, ObjectType::Thread);
        if (!t) return DWORD(-1);
        DWORD previous = t->resumed.exchange(1) ? 0 : 1;
        futex_wake_all(&t->resumed);
        return previous;
    });
}

extern "C" QORAPI BOOL SetThreadPriority(HANDLE thread, int priority) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        bool valid = (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
                     priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
        if (!valid) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::shared_ptr<ThreadObject> t =
            thread == kCurrentThread ? current_thread_object : lookup_as<ThreadObject>(thread, ObjectType::Thread);
        if (!t) {
            if (thread != kCurrentThread) return FALSE;
            // A thread the platform did not start: adjust it directly.
            setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), nice_for(priority));
            return TRUE;
        }
        std::lock_guard guard(t->lock);
        t->priority = priority;
        t->apply_priority();
        return TRUE;
    });
}

extern "C" QORAPI int GetThreadPriority(HANDLE thread) {
    return qor::guarded(THREAD_PRIORITY_ERROR_RETURN, [&]() -> int {
        std::shared_ptr<ThreadObject> t =
            thread == kCurrentThread ? current_thread_object : lookup_as<ThreadObject>(thread, ObjectType::Thread);
        if (!t) return thread == kCurrentThread ? THREAD_PRIORITY_NORMAL : THREAD_PRIORITY_ERROR_RETURN;
        std::lock_guard guard(t->lock);
        return t->priority;
    });
}

extern "C" QORAPI BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto t = lookup_as<ThreadObject>(thread, ObjectType::Thread);
        if (!t) return FALSE;
        if (!exit_code) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *exit_code = t->exit_code.load(std::memory_order_seq_cst);
        return TRUE;
    });
}

extern "C" QORAPI HANDLE GetCurrentThread(void) { return kCurrentThread; }
extern "C" QORAPI DWORD GetCurrentThreadId(void) { return DWORD(syscall(SYS_gettid)); }
extern "C" QORAPI DWORD GetCurrentProcessId(void) { return DWORD(getpid()); }
