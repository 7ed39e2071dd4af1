#include "registry_handles.h"

#include <mutex>
#include <unordered_map>

namespace qor::registry {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, OpenKey> keys;
    // Never reused, far below the predefined roots' values, and 2 modulo 4
    // where kernel handles are multiples of 4: neither space accepts the
    // other's handles.
    uintptr_t next = 0x10002;
};

Table& table() {
    static auto* t = new Table();
    return *t;
}

}  // namespace

bool is_predefined(HKEY key) { return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE; }

HKEY insert_key(OpenKey key) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    uintptr_t id = t.next;
    t.next += 4;
    t.keys.emplace(id, std::move(key));
    return reinterpret_cast<HKEY>(id);
}

bool lookup_key(HKEY key, OpenKey& out) {
    if (is_predefined(key)) {
        out.hive = hive_for_root(key);
        out.path.clear();
        out.access = KEY_ALL_ACCESS;
        return out.hive != nullptr;
    }
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    auto it = t.keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == t.keys.end()) return false;
    out = it->second;
    return true;
}

bool remove_key(HKEY key) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    return t.keys.erase(reinterpret_cast<uintptr_t>(key)) > 0;
}

}  // namespace qor::registry
