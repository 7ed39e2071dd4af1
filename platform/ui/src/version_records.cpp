#include "version_records.h"

#include <vector>

namespace qorui {
namespace {

struct Node {
    size_t start = 0, end = 0;         // the node's bytes
    size_t value = 0, value_bytes = 0;  // its value
    size_t children = 0;               // first child
    uint16_t value_length = 0;
    uint16_t type = 0;
    std::u16string key;
};

uint16_t u16_at(const uint8_t* data, size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); }
size_t align4(size_t at) { return (at + 3) & ~size_t{3}; }

// The node at `at`, which must lie inside [at, limit).
std::optional<Node> read_node(const uint8_t* data, size_t at, size_t limit) {
    if (at > limit || limit - at < 6) return std::nullopt;
    Node node;
    node.start = at;
    const uint16_t length = u16_at(data, at);
    if (length < 6 || length > limit - at) return std::nullopt;
    node.end = at + length;
    node.value_length = u16_at(data, at + 2);
    node.type = u16_at(data, at + 4);
    if (node.type > 1) return std::nullopt;
    size_t cursor = at + 6;
    for (;;) {
        if (node.end - cursor < 2) return std::nullopt;  // no terminator
        const uint16_t unit = u16_at(data, cursor);
        cursor += 2;
        if (unit == 0) break;
        node.key.push_back(static_cast<char16_t>(unit));
    }
    node.value = std::min(align4(cursor), node.end);
    // A text's length counts characters; a binary's counts bytes.
    node.value_bytes = node.type == 1 ? size_t{node.value_length} * 2 : node.value_length;
    if (node.value_bytes > node.end - node.value) return std::nullopt;
    node.children = std::min(align4(node.value + node.value_bytes), node.end);
    return node;
}

bool same_key(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::vector<std::u16string> split(const std::u16string& path) {
    std::vector<std::u16string> parts;
    std::u16string part;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// Checks the node's children, recursively, up to a depth no honest record
// needs.
bool well_formed(const uint8_t* data, const Node& node, int depth) {
    if (depth > 8) return false;
    size_t at = node.children;
    while (at < node.end) {
        auto child = read_node(data, at, node.end);
        if (!child || !well_formed(data, *child, depth + 1)) return false;
        at = align4(child->end);
    }
    return true;
}

}  // namespace

std::optional<size_t> version_record_length(const uint8_t* record, size_t size) {
    if (!record) return std::nullopt;
    auto root = read_node(record, 0, size);
    if (!root || !well_formed(record, *root, 0)) return std::nullopt;
    return root->end;
}

std::optional<VersionValue> find_version_value(const uint8_t* record, size_t size, const std::u16string& path) {
    if (!version_record_length(record, size)) return std::nullopt;
    auto node = read_node(record, 0, size);
    for (const std::u16string& key : split(path)) {
        std::optional<Node> found;
        size_t at = node->children;
        while (at < node->end) {
            auto child = read_node(record, at, node->end);
            if (!child) return std::nullopt;
            if (same_key(child->key, key)) {
                found = child;
                break;
            }
            at = align4(child->end);
        }
        if (!found) return std::nullopt;
        node = found;
    }
    return VersionValue{node->value, node->value_length};
}

}  // namespace qorui
