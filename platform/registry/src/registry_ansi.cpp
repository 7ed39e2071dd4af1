// The A entry points: names and string data convert through the ANSI code
// page; the hive itself always holds UTF-16.
#include "registry_ops.h"
#include "qor/guard.h"

#include "qor/strings.h"

#include <bit>
#include <climits>
#include <cstring>

using namespace qor::registry;

namespace {

static_assert(std::endian::native == std::endian::little, "string values are stored as UTF-16LE");

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// `length` -1: up to and without the terminator. False when the text does
// not convert, so that a bad name never turns into the default value.
bool widen(const char* text, int length, std::u16string& wide) {
    wide.clear();
    if (!text || length == 0 || (length < 0 && *text == '\0')) return true;
    int count = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (count <= 0) return false;
    wide.assign(size_t(count), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), count) != count) return false;
    if (length < 0 && !wide.empty() && wide.back() == u'\0') wide.pop_back();
    return true;
}

std::string narrow(const char16_t* text, size_t length) {
    if (length == 0 || length > size_t(INT_MAX)) return {};
    int count = WideCharToMultiByte(CP_ACP, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string out(size_t(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, int(length), out.data(), count, nullptr, nullptr);
    return out;
}

// Runs `call` with `text` as UTF-16.
template <class Call>
LONG with_name(LPCSTR text, Call call) {
    std::u16string name;
    if (!widen(text, -1, name)) return ERROR_INVALID_PARAMETER;
    return call(std::u16string_view(name));
}

// String data as the caller of an A call sees it: in the ANSI code page.
std::vector<uint8_t> ansi_data(DWORD type, const std::vector<uint8_t>& stored) {
    if (!is_string_type(type)) return stored;
    std::u16string wide(stored.size() / 2, u'\0');
    std::memcpy(wide.data(), stored.data(), wide.size() * 2);
    std::string text = narrow(wide.data(), wide.size());
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

QOR_EXTERN_C QORAPI LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM sam,
                                         LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    return qor::guarded_code([&] {
        return with_name(sub_key, [&](auto name) { return create_key(key, name, sam, result, disposition); });
    });
}

QOR_EXTERN_C QORAPI LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD, REGSAM sam, PHKEY result) {
    return qor::guarded_code([&] { return with_name(sub_key, [&](auto name) { return open_key(key, name, sam, result); }); });
}

QOR_EXTERN_C QORAPI LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                          LPDWORD size) {
    return qor::guarded_code([&] {
        if (reserved || (data && !size)) return LONG(ERROR_INVALID_PARAMETER);
        DWORD found_type = REG_NONE;
        std::vector<uint8_t> bytes;
        LONG status = with_name(name, [&](auto wide) { return query_value(key, wide, found_type, bytes); });
        if (status != ERROR_SUCCESS) return status;
        if (type) *type = found_type;
        return copy_data_out(ansi_data(found_type, bytes), data, size);
    });
}

QOR_EXTERN_C QORAPI LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    return qor::guarded_code([&] {
        return with_name(name, [&](auto wide_name) {
            if (!is_string_type(type) || !data) return set_value(key, wide_name, type, data, size);
            std::u16string text;
            if (size > INT_MAX || !widen(reinterpret_cast<const char*>(data), int(size), text))
                return LONG(ERROR_INVALID_PARAMETER);
            return set_value(key, wide_name, type, reinterpret_cast<const uint8_t*>(text.data()),
                             text.size() * sizeof(char16_t));
        });
    });
}

QOR_EXTERN_C QORAPI LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    return qor::guarded_code([&] { return with_name(name, [&](auto wide) { return delete_value(key, wide); }); });
}

QOR_EXTERN_C QORAPI LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    return qor::guarded_code([&] {
        if (!sub_key) return LONG(ERROR_INVALID_PARAMETER);
        return with_name(sub_key, [&](auto wide) { return delete_key(key, wide); });
    });
}

QOR_EXTERN_C QORAPI LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD reserved,
                                       LPSTR class_name, LPDWORD class_length, void* last_write_time) {
    return qor::guarded_code([&] {
        if (!name || !name_length || reserved) return LONG(ERROR_INVALID_PARAMETER);
        std::u16string found;
        uint64_t filetime = 0;
        if (LONG status = enum_key(key, index, found, filetime); status != ERROR_SUCCESS) return status;
        std::string text = narrow(found.data(), found.size());
        if (LONG status = copy_name_out<char>(text, name, name_length); status != ERROR_SUCCESS) return status;
        if (class_name && class_length && *class_length) class_name[0] = 0;
        if (class_length) *class_length = 0;
        if (last_write_time) std::memcpy(last_write_time, &filetime, sizeof filetime);
        return LONG(ERROR_SUCCESS);
    });
}

QOR_EXTERN_C QORAPI LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD reserved,
                                       LPDWORD type, LPBYTE data, LPDWORD size) {
    return qor::guarded_code([&] {
        if (!name || !name_length || reserved || (data && !size)) return LONG(ERROR_INVALID_PARAMETER);
        std::u16string found;
        DWORD found_type = REG_NONE;
        std::vector<uint8_t> bytes;
        if (LONG status = enum_value(key, index, found, found_type, bytes); status != ERROR_SUCCESS) return status;
        std::string text = narrow(found.data(), found.size());
        if (LONG status = copy_name_out<char>(text, name, name_length); status != ERROR_SUCCESS) return status;
        if (type) *type = found_type;
        return copy_data_out(ansi_data(found_type, bytes), data, size);
    });
}
