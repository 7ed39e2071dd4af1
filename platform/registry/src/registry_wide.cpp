// The W entry points: UTF-16 in and out, straight onto the operations.
#include "registry_ops.h"
#include "qor/guard.h"

#include <cstring>

using namespace qor::registry;

namespace {

std::u16string_view view(LPCWSTR text) { return text ? std::u16string_view(text) : std::u16string_view(); }

void store_filetime(void* last_write_time, uint64_t filetime) {
    if (last_write_time) std::memcpy(last_write_time, &filetime, sizeof filetime);  // FILETIME: low, high
}

}  // namespace

QOR_EXTERN_C QORAPI LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM sam,
                                         LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    return qor::guarded_code([&] { return create_key(key, view(sub_key), sam, result, disposition); });
}

QOR_EXTERN_C QORAPI LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD, REGSAM sam, PHKEY result) {
    return qor::guarded_code([&] { return open_key(key, view(sub_key), sam, result); });
}

QOR_EXTERN_C QORAPI LONG RegCloseKey(HKEY key) {
    return qor::guarded_code([&] { return close_key(key); });
}

QOR_EXTERN_C QORAPI LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                          LPBYTE data, LPDWORD size) {
    return qor::guarded_code([&] {
        if (reserved || (data && !size)) return LONG(ERROR_INVALID_PARAMETER);
        DWORD found_type = REG_NONE;
        std::vector<uint8_t> bytes;
        if (LONG status = query_value(key, view(name), found_type, bytes); status != ERROR_SUCCESS) return status;
        if (type) *type = found_type;
        return copy_data_out(bytes, data, size);
    });
}

QOR_EXTERN_C QORAPI LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data,
                                        DWORD size) {
    return qor::guarded_code([&] { return set_value(key, view(name), type, data, size); });
}

QOR_EXTERN_C QORAPI LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
    return qor::guarded_code([&] { return delete_value(key, view(name)); });
}

QOR_EXTERN_C QORAPI LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key) {
    return qor::guarded_code([&] {
        return sub_key ? delete_key(key, view(sub_key)) : LONG(ERROR_INVALID_PARAMETER);
    });
}

QOR_EXTERN_C QORAPI LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length,
                                       LPDWORD reserved, LPWSTR class_name, LPDWORD class_length,
                                       void* last_write_time) {
    return qor::guarded_code([&] {
        if (!name || !name_length || reserved) return LONG(ERROR_INVALID_PARAMETER);
        std::u16string found;
        uint64_t filetime = 0;
        if (LONG status = enum_key(key, index, found, filetime); status != ERROR_SUCCESS) return status;
        if (LONG status = copy_name_out<char16_t>(found, name, name_length); status != ERROR_SUCCESS)
            return status;
        if (class_name && class_length && *class_length) class_name[0] = 0;
        if (class_length) *class_length = 0;
        store_filetime(last_write_time, filetime);
        return LONG(ERROR_SUCCESS);
    });
}

QOR_EXTERN_C QORAPI LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length,
                                       LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    return qor::guarded_code([&] {
        if (!name || !name_length || reserved || (data && !size)) return LONG(ERROR_INVALID_PARAMETER);
        std::u16string found;
        DWORD found_type = REG_NONE;
        std::vector<uint8_t> bytes;
        if (LONG status = enum_value(key, index, found, found_type, bytes); status != ERROR_SUCCESS)
            return status;
        if (LONG status = copy_name_out<char16_t>(found, name, name_length); status != ERROR_SUCCESS)
            return status;
        if (type) *type = found_type;
        return copy_data_out(bytes, data, size);
    });
}

QOR_EXTERN_C QORAPI LONG RegNotifyChangeKeyValue(HKEY key, BOOL watch_subtree, DWORD filter, HANDLE event,
                                                 BOOL asynchronous) {
    return qor::guarded_code([&] { return notify_change(key, watch_subtree != FALSE, filter, event, asynchronous != FALSE); });
}
