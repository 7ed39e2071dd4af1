// WaitForSingleObject, WaitForMultipleObjects and CloseHandle.
#include "kernel_sync.h"
#include "qor/guard.h"
#include "qor/kernel.h"

#include <vector>

namespace qor::kernel {

void signal_generation(std::atomic<uint32_t>* generation, std::atomic<uint32_t>* sleepers) {
    generation->fetch_add(1, std::memory_order_seq_cst);
    if (sleepers->load(std::memory_order_seq_cst) != 0) futex_wake_all(generation);
}

namespace {
// A mutex whose owner dies is signalled without a wake-up; waiters look again
// this often.
constexpr int64_t kPollingSliceMs = 20;
constexpr int64_t kLongSliceMs = 60000;
}  // namespace

DWORD Waitable::wait(const Deadline& deadline) {
    for (;;) {
        sleepers()->fetch_add(1, std::memory_order_seq_cst);
        uint32_t seen = generation()->load(std::memory_order_seq_cst);
        Try t = try_acquire();
        if (t == Try::NotReady && !deadline.passed()) {
            std::atomic<uint32_t>* word = generation();
            futex_wait_any(&word, &seen, 1, deadline, needs_polling() ? kPollingSliceMs : kLongSliceMs);
        }
        sleepers()->fetch_sub(1, std::memory_order_seq_cst);
        if (t == Try::Ready) return WAIT_OBJECT_0;
        if (t == Try::Abandoned) return WAIT_ABANDONED;
        if (deadline.passed()) {
            // One last look, so a signal that raced the time-out is not lost.
            t = try_acquire();
            if (t == Try::Ready) return WAIT_OBJECT_0;
            if (t == Try::Abandoned) return WAIT_ABANDONED;
            return WAIT_TIMEOUT;
        }
    }
}

Waitable* find_waitable(HANDLE handle, const ReadSection& section) {
    Object* object = find_handle(handle, section);
    if (!object) return nullptr;
    switch (object->type()) {
        case ObjectType::Mutex:
        case ObjectType::Event:
        case ObjectType::Thread:
        case ObjectType::Process: return static_cast<Waitable*>(object);
        default: SetLastError(ERROR_INVALID_HANDLE); return nullptr;
    }
}

}  // namespace qor::kernel

using namespace qor::kernel;

namespace {

std::shared_ptr<Waitable> lookup_waitable(HANDLE h) {
    ReadSection section;
    Waitable* w = find_waitable(h, section);
    return w ? std::static_pointer_cast<Waitable>(w->shared_from_this()) : nullptr;
}

DWORD from_try(Waitable::Try t) {
    return t == Waitable::Try::Ready ? WAIT_OBJECT_0 : t == Waitable::Try::Abandoned ? WAIT_ABANDONED : WAIT_TIMEOUT;
}

HANDLE current_thread_pseudo() { return reinterpret_cast<HANDLE>(intptr_t(-2)); }

}  // namespace

extern "C" QORAPI DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    return qor::guarded(DWORD(WAIT_FAILED), [&]() -> DWORD {
        std::shared_ptr<Waitable> held;
        {
            // Most waits find the object signalled: take it without a reference.
            ReadSection section;
            Waitable* w = find_waitable(object, section);
            if (!w) return WAIT_FAILED;
            // Mutexes are the common case; MutexObject is final, so this call
            // is direct.
            DWORD quick = from_try(w->type() == ObjectType::Mutex ? static_cast<MutexObject*>(w)->try_acquire()
                                                                   : w->try_acquire());
            if (quick != DWORD(WAIT_TIMEOUT) || milliseconds == 0) return quick;
            held = std::static_pointer_cast<Waitable>(w->shared_from_this());
        }
        return held->wait(Deadline::after_ms(milliseconds));
    });
}

extern "C" QORAPI DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL wait_all,
                                                DWORD milliseconds) {
    return qor::guarded(DWORD(WAIT_FAILED), [&]() -> DWORD {
        if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !objects) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        if (wait_all) {  // the suite only waits for the first of several
            SetLastError(ERROR_NOT_SUPPORTED);
            return WAIT_FAILED;
        }
        std::vector<std::shared_ptr<Waitable>> items;
        items.reserve(count);
        bool polling = false;
        for (DWORD i = 0; i < count; ++i) {
            auto w = lookup_waitable(objects[i]);
            if (!w) return WAIT_FAILED;
            polling = polling || w->needs_polling();
            items.push_back(std::move(w));
        }
        if (count == 1) return items[0]->wait(Deadline::after_ms(milliseconds));

        Deadline deadline = Deadline::after_ms(milliseconds);
        std::vector<std::atomic<uint32_t>*> words(count);
        std::vector<uint32_t> seen(count);
        for (DWORD i = 0; i < count; ++i) words[i] = items[i]->generation();
        const int64_t cap_ms = polling ? kPollingSliceMs : kLongSliceMs;
        for (;;) {
            for (auto& w : items) w->sleepers()->fetch_add(1, std::memory_order_seq_cst);
            for (DWORD i = 0; i < count; ++i) seen[i] = words[i]->load(std::memory_order_seq_cst);
            DWORD result = WAIT_TIMEOUT;
            for (DWORD i = 0; i < count && result == WAIT_TIMEOUT; ++i) {
                auto t = items[i]->try_acquire();
                if (t == Waitable::Try::Ready) result = WAIT_OBJECT_0 + i;
                if (t == Waitable::Try::Abandoned) result = WAIT_ABANDONED_0 + i;
            }
            bool passed = deadline.passed();
            if (result == WAIT_TIMEOUT && !passed)
                futex_wait_any(words.data(), seen.data(), count, deadline, cap_ms);
            for (auto& w : items) w->sleepers()->fetch_sub(1, std::memory_order_seq_cst);
            if (result != WAIT_TIMEOUT || passed) return result;
        }
    });
}

extern "C" QORAPI BOOL CloseHandle(HANDLE object) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (object == current_thread_pseudo()) return TRUE;
        if (!remove_handle(object)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    });
}
