#include "gdi_objects.h"

#include <mutex>
#include <unordered_map>

namespace qor::gdi {
namespace {

// Engine handles are tagged so they never collide with kernel handles.
constexpr uintptr_t kHandleBase = 0x6D000000;
constexpr uintptr_t kStockBase = 0x6C000000;

struct Table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = kHandleBase;
};

Table& table() {
    static Table* instance = new Table;  // outlives every static destructor
    return *instance;
}

}  // namespace

HANDLE insert_object(std::shared_ptr<Object> object) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.next += 4;
    t.objects[t.next] = std::move(object);
    return reinterpret_cast<HANDLE>(t.next);
}

HANDLE insert_stock(int index, std::shared_ptr<Object> object) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    HANDLE handle = stock_handle(index);
    t.objects.emplace(reinterpret_cast<uintptr_t>(handle), std::move(object));
    return handle;
}

std::shared_ptr<Object> lookup_object(HANDLE handle) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

HANDLE stock_handle(int index) {
    return reinterpret_cast<HANDLE>(kStockBase + static_cast<uintptr_t>(index) * 4);
}

bool is_stock(HANDLE handle) {
    auto key = reinterpret_cast<uintptr_t>(handle);
    return key >= kStockBase && key < kHandleBase;
}

bool remove_object(HANDLE handle) {
    if (is_stock(handle)) return false;
    std::shared_ptr<Object> doomed;  // destroyed outside the lock
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace qor::gdi
