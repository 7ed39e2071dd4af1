// The registry's own handle space: open keys are numbers looked up in a
// table, so a closed or forged HKEY is rejected, never dereferenced.
#pragma once

#include "registry_hive.h"

#include <string>
#include <vector>

namespace qor::registry {

struct OpenKey {
    Hive* hive = nullptr;
    std::vector<std::u16string> path;  // below the hive's root
    REGSAM access = 0;
};

HKEY insert_key(OpenKey key);
// The open key behind `key`; a predefined root resolves to its hive's root
// with full access. False for an unknown or closed handle.
bool lookup_key(HKEY key, OpenKey& out);
bool remove_key(HKEY key);
bool is_predefined(HKEY key);

}  // namespace qor::registry
