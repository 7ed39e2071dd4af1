// The process's kernel-object handle table. A handle names a slot and the
// serial of its current occupant, so a stale or forged handle is rejected
// instead of dereferenced. Lookups take no lock and no reference: they run
// inside a read section, and CloseHandle waits until every read section that
// might still see the object has ended before destroying it. Read sections
// are short and never block.
#pragma once

#include "qor/base.h"

#include <atomic>
#include <memory>

namespace qor::kernel {

enum class ObjectType : uint32_t { Mutex = 1, Event = 2, Mapping = 3, Thread = 4, File = 5, Process = 6 };

class Object : public std::enable_shared_from_this<Object> {
public:
    explicit Object(ObjectType type) : type_(type) {}
    virtual ~Object() = default;
    ObjectType type() const { return type_; }

private:
    const ObjectType type_;
};

namespace detail {
struct ThreadRecord {
    std::atomic<uint32_t> depth{0};
};
// Initial-exec TLS: a lookup costs no call into the dynamic linker.
extern __attribute__((tls_model("initial-exec"))) thread_local ThreadRecord* my_thread_record;
// True when the kernel offers process-wide barriers, so readers need no fence.
extern bool fast_barrier;
ThreadRecord& register_thread();
}  // namespace detail

// Marks the calling thread as possibly holding raw object pointers.
class ReadSection {
public:
    ReadSection() {
        detail::ThreadRecord* r = detail::my_thread_record;
        record_ = r ? r : &detail::register_thread();
        record_->depth.store(record_->depth.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        // With membarrier the writer orders this store for us; without it
        // the reader must.
        if (!detail::fast_barrier) std::atomic_thread_fence(std::memory_order_seq_cst);
        std::atomic_signal_fence(std::memory_order_seq_cst);
    }
    ~ReadSection() {
        record_->depth.store(record_->depth.load(std::memory_order_relaxed) - 1, std::memory_order_release);
    }
    ReadSection(const ReadSection&) = delete;
    ReadSection& operator=(const ReadSection&) = delete;

private:
    detail::ThreadRecord* record_;
};

// Registers an object and returns its new handle (null when the table is
// full: ERROR_NO_SYSTEM_RESOURCES).
HANDLE insert_handle(std::shared_ptr<Object> object);
// The object behind a handle, valid until the caller's read section ends;
// null with ERROR_INVALID_HANDLE.
Object* find_handle(HANDLE handle, const ReadSection& section);
// The object behind a handle with a reference of its own, or null.
std::shared_ptr<Object> lookup_handle(HANDLE handle);
// Removes a handle and destroys its object once no read section can see it;
// false when it was not a live handle.
bool remove_handle(HANDLE handle);

template <class T>
T* find_as(HANDLE handle, ObjectType type, const ReadSection& section) {
    Object* object = find_handle(handle, section);
    if (!object || object->type() != type) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<T*>(object);
}

template <class T>
std::shared_ptr<T> lookup_as(HANDLE handle, ObjectType type) {
    ReadSection section;
    T* object = find_as<T>(handle, type, section);
    return object ? std::static_pointer_cast<T>(object->shared_from_this()) : nullptr;
}

}  // namespace qor::kernel
