#include "handles.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace qor::kernel {
namespace {

struct HandleTable {
    std::shared_mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x100;
};

HandleTable& table() {
    static HandleTable* t = new HandleTable;  // outlives static destructors of other modules
    return *t;
}

}  // namespace

HANDLE insert_handle(std::shared_ptr<Object> object) {
    auto& t = table();
    std::unique_lock guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> lookup_handle(HANDLE handle) {
    auto& t = table();
    std::shared_lock guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

bool remove_handle(HANDLE handle) {
    std::shared_ptr<Object> doomed;  // destroyed outside the lock
    auto& t = table();
    std::unique_lock guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    guard.unlock();
    return true;
}

}  // namespace qor::kernel
