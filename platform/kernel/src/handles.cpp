#include "handles.h"

#include <algorithm>
#include <atomic>
#include <linux/membarrier.h>
#include <mutex>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace qor::kernel {

__attribute__((tls_model("initial-exec"))) thread_local detail::ThreadRecord* detail::my_thread_record = nullptr;
bool detail::fast_barrier = false;

namespace {

constexpr uint32_t kSlotBits = 16;
constexpr uint32_t kSlotCount = 1u << kSlotBits;

struct Slot {
    std::atomic<Object*> object{nullptr};
    std::atomic<uint32_t> serial{0};  // odd while occupied
};

using detail::ThreadRecord;
using detail::my_thread_record;

struct Table {
    std::mutex lock;  // writers: slots, owners, free list, thread records
    Slot slots[kSlotCount];
    std::shared_ptr<Object> owners[kSlotCount];
    std::vector<uint32_t> free_slots;
    uint32_t next_unused = 0;
    std::vector<ThreadRecord*> threads;
    bool fast_barrier = false;  // membarrier available: readers need no fence

    Table() {
        long r = syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0);
        fast_barrier = r == 0;
        detail::fast_barrier = fast_barrier;
    }
};

Table* const the_table = new Table;  // outlives static destructors of other modules

inline Table& table() { return *the_table; }

struct ThreadRegistration {
    ThreadRecord* record = nullptr;
    ~ThreadRegistration() {
        if (!record) return;
        auto& t = table();
        std::lock_guard guard(t.lock);
        std::erase(t.threads, record);
        delete record;
        my_thread_record = nullptr;
    }
};

thread_local ThreadRegistration registration;

}  // namespace

ThreadRecord& detail::register_thread() {
    auto* record = new ThreadRecord;
    {
        auto& t = table();
        std::lock_guard guard(t.lock);
        t.threads.push_back(record);
    }
    registration.record = record;
    my_thread_record = record;
    return *record;
}

namespace {

// Handle values: ((serial << 16) | slot) << 2, never 0 and never one of the
// pseudo handles (-1, -2).
HANDLE encode(uint32_t slot, uint32_t serial) {
    return reinterpret_cast<HANDLE>(((uint64_t(serial) << kSlotBits) | slot) << 2);
}

bool decode(HANDLE h, uint32_t& slot, uint32_t& serial) {
    uint64_t v = reinterpret_cast<uintptr_t>(h);
    if ((v & 3) != 0 || v >> 50) return false;
    v >>= 2;
    slot = uint32_t(v & (kSlotCount - 1));
    serial = uint32_t(v >> kSlotBits);
    return (serial & 1) != 0;
}

// Waits until no thread is in a read section that began before the caller's
// change to the table.
void wait_for_readers(Table& t) {
    if (t.fast_barrier) syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    std::vector<ThreadRecord*> busy;
    {
        std::lock_guard guard(t.lock);
        for (auto* r : t.threads)
            if (r->depth.load(std::memory_order_acquire) != 0) busy.push_back(r);
    }
    if (busy.empty()) return;
    ThreadRecord* mine = my_thread_record;
    std::unique_lock guard(t.lock);  // records stay registered while we look
    for (auto* r : busy) {
        if (r == mine || std::find(t.threads.begin(), t.threads.end(), r) == t.threads.end()) continue;
        while (r->depth.load(std::memory_order_acquire) != 0) {
            guard.unlock();
            sched_yield();
            guard.lock();
            if (std::find(t.threads.begin(), t.threads.end(), r) == t.threads.end()) break;
        }
    }
}

}  // namespace

HANDLE insert_handle(std::shared_ptr<Object> object) {
    auto& t = table();
    std::lock_guard guard(t.lock);
    uint32_t slot;
    if (!t.free_slots.empty()) {
        slot = t.free_slots.back();
        t.free_slots.pop_back();
    } else if (t.next_unused < kSlotCount) {
        slot = t.next_unused++;
    } else {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return nullptr;
    }
    Slot& s = t.slots[slot];
    uint32_t serial = s.serial.load(std::memory_order_relaxed) + 1;  // odd: occupied
    s.object.store(object.get(), std::memory_order_relaxed);
    s.serial.store(serial, std::memory_order_release);
    t.owners[slot] = std::move(object);
    return encode(slot, serial);
}

Object* find_handle(HANDLE handle, const ReadSection&) {
    uint32_t slot, serial;
    if (decode(handle, slot, serial)) {
        Slot& s = table().slots[slot];
        if (s.serial.load(std::memory_order_acquire) == serial) {
            Object* object = s.object.load(std::memory_order_acquire);
            if (object && s.serial.load(std::memory_order_acquire) == serial) return object;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

std::shared_ptr<Object> lookup_handle(HANDLE handle) {
    ReadSection section;
    Object* object = find_handle(handle, section);
    return object ? object->shared_from_this() : nullptr;
}

bool remove_handle(HANDLE handle) {
    uint32_t slot, serial;
    if (!decode(handle, slot, serial)) return false;
    auto& t = table();
    std::shared_ptr<Object> doomed;
    {
        std::lock_guard guard(t.lock);
        Slot& s = t.slots[slot];
        if (s.serial.load(std::memory_order_relaxed) != serial) return false;
        s.serial.store(serial + 1, std::memory_order_release);  // even: free
        s.object.store(nullptr, std::memory_order_release);
        doomed = std::move(t.owners[slot]);
        t.free_slots.push_back(slot);
    }
    wait_for_readers(t);
    doomed.reset();
    return true;
}

}  // namespace qor::kernel
