#include "registry_ops.h"

#include "registry_handles.h"
#include "registry_limits.h"
#include "registry_names.h"
#include "registry_notify.h"

#include <cstring>

namespace qor::registry {
namespace {

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;
constexpr REGSAM kWriteDac = 0x00040000u;
constexpr REGSAM kWriteOwner = 0x00080000u;
constexpr REGSAM kKeyCreateLink = 0x0020u;
constexpr REGSAM kWritingRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kKeyCreateLink | DELETE | kWriteDac | kWriteOwner;

REGSAM specific_rights(REGSAM sam, const Hive& hive) {
    if (sam & kGenericRead) sam |= KEY_READ;
    if (sam & kGenericWrite) sam |= KEY_WRITE;
    if (sam & kGenericExecute) sam |= KEY_EXECUTE;
    if (sam & kGenericAll) sam |= KEY_ALL_ACCESS;
    if (sam & kMaximumAllowed) sam |= hive.check_writable() == ERROR_SUCCESS ? KEY_ALL_ACCESS : KEY_READ;
    return sam;
}

bool wants_write(REGSAM sam) { return (sam & kWritingRights) != 0; }

struct Resolved {
    OpenKey key;
    LONG status = ERROR_SUCCESS;
};

// The open key behind `handle`, checked for the rights an operation needs.
Resolved resolve(HKEY handle, REGSAM needed) {
    Resolved r;
    if (!lookup_key(handle, r.key)) r.status = ERROR_INVALID_HANDLE;
    else if ((r.key.access & needed) != needed) r.status = ERROR_ACCESS_DENIED;
    return r;
}

LONG path_below(const OpenKey& base, std::u16string_view sub_key, std::vector<std::u16string>& path) {
    std::vector<std::u16string> parts;
    if (LONG status = split_key_path(sub_key, parts); status != ERROR_SUCCESS) return status;
    if (base.path.size() + parts.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    path = base.path;
    path.insert(path.end(), parts.begin(), parts.end());
    return ERROR_SUCCESS;
}

LONG check_value_name(std::u16string_view name) {
    return name.size() > kMaxValueNameChars || !is_storable_name(name) ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

// A key missing below an open key's path means that key itself was deleted.
LONG missing(const Key& root, const std::vector<std::u16string>& base) {
    return root.find(base) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

}  // namespace

LONG create_key(HKEY parent, std::u16string_view sub_key, REGSAM sam, HKEY* result, DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Resolved base = resolve(parent, 0);
    if (base.status != ERROR_SUCCESS) return base.status;
    OpenKey opened{base.key.hive, {}, specific_rights(sam, *base.key.hive)};
    if (LONG status = path_below(base.key, sub_key, opened.path); status != ERROR_SUCCESS) return status;

    Hive& hive = *base.key.hive;
    bool exists = false;
    LONG status = hive.read([&](const Key& root) {
        exists = root.find(opened.path) != nullptr;
        return exists || root.find(base.key.path) ? LONG(ERROR_SUCCESS) : LONG(ERROR_KEY_DELETED);
    });
    if (status != ERROR_SUCCESS) return status;
    bool created = false;
    if (!exists) {
        if (!(base.key.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        status = hive.write([&](Key& root, bool& changed) {
            Key* below = root.find(base.key.path);
            if (!below) return LONG(ERROR_KEY_DELETED);
            std::vector<std::u16string> rest(opened.path.begin() + long(base.key.path.size()), opened.path.end());
            below->create(rest, created);
            changed = created;
            return LONG(ERROR_SUCCESS);
        });
        if (status != ERROR_SUCCESS) return status;
    }
    if (wants_write(opened.access) && (status = hive.check_writable()) != ERROR_SUCCESS) return status;
    *result = insert_key(std::move(opened));
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG open_key(HKEY parent, std::u16string_view sub_key, REGSAM sam, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Resolved base = resolve(parent, 0);
    if (base.status != ERROR_SUCCESS) return base.status;
    OpenKey opened{base.key.hive, {}, specific_rights(sam, *base.key.hive)};
    if (LONG status = path_below(base.key, sub_key, opened.path); status != ERROR_SUCCESS) return status;
    LONG status = base.key.hive->read([&](const Key& root) {
        return root.find(opened.path) ? LONG(ERROR_SUCCESS) : missing(root, base.key.path);
    });
    if (status != ERROR_SUCCESS) return status;
    if (wants_write(opened.access) && (status = base.key.hive->check_writable()) != ERROR_SUCCESS) return status;
    *result = insert_key(std::move(opened));
    return ERROR_SUCCESS;
}

LONG close_key(HKEY key) {
    if (is_predefined(key)) return ERROR_SUCCESS;
    if (!remove_key(key)) return ERROR_INVALID_HANDLE;
    cancel_notifications(key);
    return ERROR_SUCCESS;
}

LONG query_value(HKEY handle, std::u16string_view name, DWORD& type, std::vector<uint8_t>& data) {
    Resolved r = resolve(handle, KEY_QUERY_VALUE);
    if (r.status != ERROR_SUCCESS) return r.status;
    return r.key.hive->read([&](const Key& root) {
        const Key* key = root.find(r.key.path);
        if (!key) return LONG(ERROR_KEY_DELETED);
        const Value* value = key->find_value(name);
        if (!value) return LONG(ERROR_FILE_NOT_FOUND);
        type = value->type;
        data = value->data;
        return LONG(ERROR_SUCCESS);
    });
}

LONG set_value(HKEY handle, std::u16string_view name, DWORD type, const uint8_t* data, size_t size) {
    Resolved r = resolve(handle, KEY_SET_VALUE);
    if (r.status != ERROR_SUCCESS) return r.status;
    if (LONG status = check_value_name(name); status != ERROR_SUCCESS) return status;
    if ((!data && size) || size > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
    return r.key.hive->write([&](Key& root, bool& changed) {
        Key* key = root.find(r.key.path);
        if (!key) return LONG(ERROR_KEY_DELETED);
        changed = key->set_value(name, type, data, size);
        return LONG(ERROR_SUCCESS);
    });
}

LONG delete_value(HKEY handle, std::u16string_view name) {
    Resolved r = resolve(handle, KEY_SET_VALUE);
    if (r.status != ERROR_SUCCESS) return r.status;
    return r.key.hive->write([&](Key& root, bool& changed) {
        Key* key = root.find(r.key.path);
        if (!key) return LONG(ERROR_KEY_DELETED);
        changed = key->delete_value(name);
        return changed ? LONG(ERROR_SUCCESS) : LONG(ERROR_FILE_NOT_FOUND);
    });
}

LONG delete_key(HKEY handle, std::u16string_view sub_key) {
    Resolved r = resolve(handle, 0);
    if (r.status != ERROR_SUCCESS) return r.status;
    std::vector<std::u16string> path;
    if (LONG status = path_below(r.key, sub_key, path); status != ERROR_SUCCESS) return status;
    if (path.empty()) return ERROR_ACCESS_DENIED;  // a hive's root cannot go
    return r.key.hive->write([&](Key& root, bool& changed) {
        std::u16string last = path.back();
        path.pop_back();
        Key* parent = root.find(path);
        Key* target = parent ? parent->find_subkey(last) : nullptr;
        if (!target) return missing(root, r.key.path);
        // As on the platform: only a key without sub-keys can be deleted.
        if (!target->subkeys.empty()) return LONG(ERROR_ACCESS_DENIED);
        changed = parent->delete_subkey(last);
        return LONG(ERROR_SUCCESS);
    });
}

LONG enum_key(HKEY handle, DWORD index, std::u16string& name, uint64_t& last_write_filetime) {
    Resolved r = resolve(handle, KEY_ENUMERATE_SUB_KEYS);
    if (r.status != ERROR_SUCCESS) return r.status;
    LONG status = r.key.hive->read([&](const Key& root) {
        const Key* key = root.find(r.key.path);
        if (!key) return LONG(ERROR_KEY_DELETED);
        if (index >= key->subkeys.size()) return LONG(ERROR_NO_MORE_ITEMS);
        name = key->subkeys[index].name;
        return LONG(ERROR_SUCCESS);
    });
    last_write_filetime = r.key.hive->last_write_filetime();
    return status;
}

LONG enum_value(HKEY handle, DWORD index, std::u16string& name, DWORD& type, std::vector<uint8_t>& data) {
    Resolved r = resolve(handle, KEY_QUERY_VALUE);
    if (r.status != ERROR_SUCCESS) return r.status;
    return r.key.hive->read([&](const Key& root) {
        const Key* key = root.find(r.key.path);
        if (!key) return LONG(ERROR_KEY_DELETED);
        if (index >= key->values.size()) return LONG(ERROR_NO_MORE_ITEMS);
        const Value& value = key->values[index];
        name = value.name;
        type = value.type;
        data = value.data;
        return LONG(ERROR_SUCCESS);
    });
}

LONG notify_change(HKEY handle, bool subtree, DWORD filter, HANDLE event, bool asynchronous) {
    constexpr DWORD kKnownFilters = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                    REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
    Resolved r = resolve(handle, KEY_NOTIFY);
    if (r.status != ERROR_SUCCESS) return r.status;
    if (filter == 0 || (filter & ~kKnownFilters) != 0) return ERROR_INVALID_PARAMETER;
    if (asynchronous && !event) return ERROR_INVALID_PARAMETER;
    ChangeRequest request{handle, r.key, subtree, filter};
    return asynchronous ? notify_async(request, event) : notify_wait(request);
}

LONG copy_data_out(const std::vector<uint8_t>& bytes, LPBYTE data, LPDWORD size) {
    if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD needed = DWORD(bytes.size());
    if (!data) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, bytes.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace qor::registry
