// Version records of module files, read from their RT_VERSION resource.
#include "version_records.h"

#include "qor/ui/windows.h"

#include <cstring>

using namespace qorui;

namespace {

// The file's version record, checked; null with the last error set.
const uint8_t* load_record(LPCWSTR file, HMODULE& module, size_t& size) {
    module = file ? LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    if (!module) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_VERSION));
    const void* data = resource ? LockResource(LoadResource(module, resource)) : nullptr;
    if (!data) {
        FreeLibrary(module);
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    auto length = version_record_length(static_cast<const uint8_t*>(data), SizeofResource(module, resource));
    if (!length) {
        FreeLibrary(module);
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    size = *length;
    return static_cast<const uint8_t*>(data);
}

}  // namespace

extern "C" {

DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    if (handle) *handle = 0;
    HMODULE module = nullptr;
    size_t size = 0;
    if (!load_record(file, module, size)) return 0;
    FreeLibrary(module);
    return static_cast<DWORD>(size);
}

BOOL GetFileVersionInfoW(LPCWSTR file, DWORD, DWORD size, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE module = nullptr;
    size_t length = 0;
    const uint8_t* record = load_record(file, module, length);
    if (!record) return FALSE;
    std::memcpy(data, record, std::min<size_t>(size, length));
    FreeLibrary(module);
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* value, UINT* length) {
    if (!block || !sub_block || !value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto* record = static_cast<const uint8_t*>(block);
    // The record says how long it is; its root length bounds every read.
    const size_t size = static_cast<size_t>(record[0] | (record[1] << 8));
    auto found = find_version_value(record, size, std::u16string(reinterpret_cast<const char16_t*>(sub_block)));
    if (!found) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *value = const_cast<uint8_t*>(record + found->offset);
    if (length) *length = found->length;
    return TRUE;
}

}  // extern "C"
