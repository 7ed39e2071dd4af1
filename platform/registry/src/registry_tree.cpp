#include "registry_tree.h"

#include "registry_names.h"

#include <algorithm>

namespace qor::registry {
namespace {

template <class Items, class NameOf>
auto find_named(Items& items, std::u16string_view name, NameOf name_of) {
    return std::find_if(items.begin(), items.end(),
                        [&](const auto& item) { return names_equal(name_of(item), name); });
}

const std::u16string& key_name(const Key& k) { return k.name; }
const std::u16string& value_name(const Value& v) { return v.name; }

}  // namespace

Key* Key::find_subkey(std::u16string_view n) {
    auto it = find_named(subkeys, n, key_name);
    return it == subkeys.end() ? nullptr : &*it;
}

const Key* Key::find_subkey(std::u16string_view n) const {
    return const_cast<Key*>(this)->find_subkey(n);
}

Value* Key::find_value(std::u16string_view n) {
    auto it = find_named(values, n, value_name);
    return it == values.end() ? nullptr : &*it;
}

const Value* Key::find_value(std::u16string_view n) const {
    return const_cast<Key*>(this)->find_value(n);
}

Key* Key::find(const std::vector<std::u16string>& path) {
    Key* key = this;
    for (const auto& part : path) {
        key = key->find_subkey(part);
        if (!key) return nullptr;
    }
    return key;
}

const Key* Key::find(const std::vector<std::u16string>& path) const {
    return const_cast<Key*>(this)->find(path);
}

Key& Key::create(const std::vector<std::u16string>& path, bool& created) {
    Key* key = this;
    created = false;
    for (const auto& part : path) {
        Key* next = key->find_subkey(part);
        created = next == nullptr;
        if (!next) {
            key->subkeys.push_back(Key{part, {}, {}});
            next = &key->subkeys.back();
        }
        key = next;
    }
    return *key;
}

bool Key::set_value(std::u16string_view n, DWORD type, const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (Value* existing = find_value(n)) {
        if (existing->type == type && existing->data == bytes) return false;
        existing->type = type;
        existing->data = std::move(bytes);
        return true;
    }
    values.push_back(Value{std::u16string(n), type, std::move(bytes)});
    return true;
}

bool Key::delete_value(std::u16string_view n) {
    auto it = find_named(values, n, value_name);
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

bool Key::delete_subkey(std::u16string_view n) {
    auto it = find_named(subkeys, n, key_name);
    if (it == subkeys.end()) return false;
    subkeys.erase(it);
    return true;
}

}  // namespace qor::registry
