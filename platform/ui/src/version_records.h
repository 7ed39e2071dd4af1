// Walks a VS_VERSIONINFO record: nodes of wLength, wValueLength, wType, a
// terminated key, padding to 32 bits, the value and the children, each
// 32-bit aligned. Qt-free; every length is checked against its parent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qorui {

struct VersionValue {
    size_t offset = 0;       // of the value inside the record
    uint32_t length = 0;     // bytes for binary values, characters for texts
};

// The value at `path` ("\" the root's fixed information, then keys
// separated by '\', matched case-insensitively in ASCII); nullopt when the
// path is missing or the record malformed.
std::optional<VersionValue> find_version_value(const uint8_t* record, size_t size, const std::u16string& path);

// The record's whole length when it is well formed from its root down.
std::optional<size_t> version_record_length(const uint8_t* record, size_t size);

}  // namespace qorui
