// The process's kernel-object handle table. Handles are opaque numbers
// (multiples of 4, never reused within a process) that map to shared
// objects, so a stale or forged handle is rejected instead of dereferenced.
#pragma once

#include "qor/base.h"

#include <memory>

namespace qor::kernel {

enum class ObjectType : uint32_t { Mutex = 1, Event = 2, Mapping = 3, Thread = 4, File = 5 };

class Object {
public:
    virtual ~Object() = default;
    virtual ObjectType type() const = 0;
};

// Registers an object and returns its new handle.
HANDLE insert_handle(std::shared_ptr<Object> object);
// The object behind a handle, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<Object> lookup_handle(HANDLE handle);
// Removes a handle; false when it was not a live handle.
bool remove_handle(HANDLE handle);

template <class T>
std::shared_ptr<T> lookup_as(HANDLE handle, ObjectType type) {
    auto object = lookup_handle(handle);
    if (!object || object->type() != type) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

}  // namespace qor::kernel
