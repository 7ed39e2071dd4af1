// The in-memory form of a hive: a tree of keys, each with its values in the
// order they were created.
#pragma once

#include "qor/base.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qor::registry {

struct Value {
    std::u16string name;  // empty for the key's default value
    DWORD type = 0;
    std::vector<uint8_t> data;

    bool operator==(const Value&) const = default;
};

struct Key {
    std::u16string name;
    std::vector<Value> values;
    std::vector<Key> subkeys;

    bool operator==(const Key&) const = default;

    Key* find_subkey(std::u16string_view name);
    const Key* find_subkey(std::u16string_view name) const;
    Value* find_value(std::u16string_view name);
    const Value* find_value(std::u16string_view name) const;

    // Follows `path` below this key; null when a component is missing.
    Key* find(const std::vector<std::u16string>& path);
    const Key* find(const std::vector<std::u16string>& path) const;

    // Creates the missing components of `path`; `created` tells whether the
    // last one was new.
    Key& create(const std::vector<std::u16string>& path, bool& created);

    // Replaces or appends a value; false when the value was already the same.
    bool set_value(std::u16string_view name, DWORD type, const uint8_t* data, size_t size);
    bool delete_value(std::u16string_view name);
    bool delete_subkey(std::u16string_view name);
};

}  // namespace qor::registry
