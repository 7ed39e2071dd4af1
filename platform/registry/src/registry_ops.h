// The registry operations on UTF-16 names, shared by the A and W entry
// points, which only convert text and fill the caller's buffers.
#pragma once

#include "qor/registry.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace qor::registry {

LONG create_key(HKEY parent, std::u16string_view sub_key, REGSAM sam, HKEY* result, DWORD* disposition);
LONG open_key(HKEY parent, std::u16string_view sub_key, REGSAM sam, HKEY* result);
LONG close_key(HKEY key);
LONG query_value(HKEY key, std::u16string_view name, DWORD& type, std::vector<uint8_t>& data);
LONG set_value(HKEY key, std::u16string_view name, DWORD type, const uint8_t* data, size_t size);
LONG delete_value(HKEY key, std::u16string_view name);
LONG delete_key(HKEY key, std::u16string_view sub_key);
LONG enum_key(HKEY key, DWORD index, std::u16string& name, uint64_t& last_write_filetime);
LONG enum_value(HKEY key, DWORD index, std::u16string& name, DWORD& type, std::vector<uint8_t>& data);
LONG notify_change(HKEY key, bool subtree, DWORD filter, HANDLE event, bool asynchronous);

// Value data into a caller's buffer: a null buffer asks for the size; one
// too small gets ERROR_MORE_DATA and the size needed.
LONG copy_data_out(const std::vector<uint8_t>& bytes, LPBYTE data, LPDWORD size);

// A name into a caller's buffer of `*length` characters, terminator
// included; on success `*length` is the name's length without it.
template <class Char>
LONG copy_name_out(std::basic_string_view<Char> name, Char* buffer, LPDWORD length) {
    if (!buffer || !length) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *length) return ERROR_MORE_DATA;
    name.copy(buffer, name.size());
    buffer[name.size()] = Char(0);
    *length = DWORD(name.size());
    return ERROR_SUCCESS;
}


}  // namespace qor::registry
