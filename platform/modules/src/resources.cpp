// Resources carried by the table a module's exported QorResources function
// returns (see qor/module.h): lookup by type and name, and string-table blocks.
#include "qor/module.h"
#include "qor/guard.h"
#include "qor/strings.h"

#include "module_table.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr WORD rt_string = 6;

// A resource type or name as given by the caller: a number, or a name
// upper-cased for comparison.
struct Key {
    WORD id = 0;
    std::string name;
};

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// "#123" names the number 123, as the platform reads it.
Key key_from_text(const std::string& text) {
    Key key;
    if (text.size() > 1 && text[0] == '#') {
        char* end = nullptr;
        unsigned long id = std::strtoul(text.c_str() + 1, &end, 10);
        if (*end == '\0' && id > 0 && id <= 0xFFFF) {
            key.id = static_cast<WORD>(id);
            return key;
        }
    }
    key.name = upper(text);
    return key;
}

Key key_of(LPCSTR value) {
    if (IS_INTRESOURCE(value)) return Key{static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value)), {}};
    return key_from_text(qor::acp_to_utf8(value));
}

Key key_of(LPCWSTR value) {
    if (IS_INTRESOURCE(value)) return Key{static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value)), {}};
    return key_from_text(qor::utf16_to_utf8(value));
}

bool matches(const Key& key, WORD id, const char* name) {
    if (key.id) return id == key.id && !name;
    return name && key.name == name;
}

const QOR_RESOURCE_TABLE* table_of(HMODULE module) {
    void* symbol = nullptr;
    if (!qor::modules::find_export(module, QOR_RESOURCE_SYMBOL, &symbol)) return nullptr;
    const QOR_RESOURCE_TABLE* table = nullptr;
    if (symbol) table = reinterpret_cast<QOR_RESOURCE_FUNCTION>(symbol)();
    if (!table || table->magic != QOR_RESOURCE_MAGIC || table->version != QOR_RESOURCE_VERSION ||
        (table->count && !table->entries)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return table;
}

const QOR_RESOURCE* find(HMODULE module, const Key& type, const Key& name) {
    const QOR_RESOURCE_TABLE* table = table_of(module);
    if (!table) return nullptr;
    bool type_seen = false;
    for (DWORD i = 0; i < table->count; ++i) {
        const QOR_RESOURCE& entry = table->entries[i];
        if (!matches(type, entry.type_id, entry.type_name)) continue;
        type_seen = true;
        if (matches(name, entry.name_id, entry.name)) return &entry;
    }
    SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

// The entry behind an HRSRC, only when it really is one of the module's.
const QOR_RESOURCE* entry_of(HMODULE module, HRSRC resource) {
    const QOR_RESOURCE_TABLE* table = table_of(module);
    if (!table) return nullptr;
    auto address = reinterpret_cast<uintptr_t>(resource);
    auto first = reinterpret_cast<uintptr_t>(table->entries);
    if (address < first || address >= first + size_t(table->count) * sizeof(QOR_RESOURCE) ||
        (address - first) % sizeof(QOR_RESOURCE) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &table->entries[(address - first) / sizeof(QOR_RESOURCE)];
}

// String `id` inside its block: a pointer to its units and their count.
bool find_string(HINSTANCE instance, UINT id, const WCHAR** text, int* length) {
    Key type{rt_string, {}};
    Key block{static_cast<WORD>((id >> 4) + 1), {}};
    if (id > 0xFFFF) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    const QOR_RESOURCE* entry = find(instance, type, block);
    if (!entry) return false;
    auto* bytes = static_cast<const unsigned char*>(entry->data);
    // The text is handed out in place, so it must sit on a WCHAR boundary.
    if (!bytes || reinterpret_cast<uintptr_t>(bytes) % alignof(WCHAR) != 0) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    size_t offset = 0;
    for (UINT slot = 0;; ++slot) {
        if (offset + 2 > entry->size) break;
        WORD units = static_cast<WORD>(bytes[offset] | bytes[offset + 1] << 8);
        size_t end = offset + 2 + size_t(units) * 2;
        if (end > entry->size) break;
        if (slot == (id & 15)) {
            if (units == 0) break;
            *text = reinterpret_cast<const WCHAR*>(bytes + offset + 2);
            *length = units;
            return true;
        }
        offset = end;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
}

}  // namespace

extern "C" {

QORAPI HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD) {
    return qor::guarded(static_cast<HRSRC>(nullptr), [&]() -> HRSRC {
        if (!type || !name) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return const_cast<QOR_RESOURCE*>(find(module, key_of(type), key_of(name)));
    });
}

QORAPI HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD) {
    return qor::guarded(static_cast<HRSRC>(nullptr), [&]() -> HRSRC {
        if (!type || !name) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return const_cast<QOR_RESOURCE*>(find(module, key_of(type), key_of(name)));
    });
}

QORAPI HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return qor::guarded(static_cast<HRSRC>(nullptr), [&]() -> HRSRC {
        return FindResourceExA(module, type, name, 0);
    });
}

QORAPI HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return qor::guarded(static_cast<HRSRC>(nullptr), [&]() -> HRSRC {
        return FindResourceExW(module, type, name, 0);
    });
}

QORAPI HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    return qor::guarded(static_cast<HGLOBAL>(nullptr), [&]() -> HGLOBAL {
        const QOR_RESOURCE* entry = entry_of(module, resource);
        return entry ? const_cast<void*>(entry->data) : nullptr;
    });
}

QORAPI LPVOID LockResource(HGLOBAL data) { return data; }

QORAPI DWORD SizeofResource(HMODULE module, HRSRC resource) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        const QOR_RESOURCE* entry = entry_of(module, resource);
        return entry ? entry->size : 0;
    });
}

QORAPI BOOL FreeResource(HGLOBAL) { return FALSE; }

QORAPI int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    return qor::guarded(0, [&]() -> int {
        if (!buffer || size < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const WCHAR* text = nullptr;
        int length = 0;
        bool found = find_string(instance, id, &text, &length);
        if (size == 0) {
            // The caller gets the text in place, read-only and unterminated.
            std::memcpy(buffer, &text, sizeof text);
            return found ? length : 0;
        }
        if (!found) {
            buffer[0] = u'\0';
            return 0;
        }
        int copied = length < size - 1 ? length : size - 1;
        std::memcpy(buffer, text, size_t(copied) * sizeof(WCHAR));
        buffer[copied] = u'\0';
        return copied;
    });
}

QORAPI int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    return qor::guarded(0, [&]() -> int {
        if (!buffer || size <= 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        buffer[0] = '\0';
        const WCHAR* text = nullptr;
        int length = 0;
        if (!find_string(instance, id, &text, &length)) return 0;
        int needed = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0) return 0;
        std::string narrow(static_cast<size_t>(needed), '\0');
        WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), needed, nullptr, nullptr);
        // Truncate on a character boundary so no lead byte is left dangling.
        size_t keep = 0;
        while (keep < narrow.size()) {
            size_t step = IsDBCSLeadByte(static_cast<BYTE>(narrow[keep])) && keep + 1 < narrow.size() ? 2 : 1;
            if (keep + step > static_cast<size_t>(size - 1)) break;
            keep += step;
        }
        std::memcpy(buffer, narrow.data(), keep);
        buffer[keep] = '\0';
        return static_cast<int>(keep);
    });
}

}  // extern "C"
