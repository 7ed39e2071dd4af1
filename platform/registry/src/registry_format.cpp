#include "registry_format.h"

#include "registry_limits.h"
#include "registry_names.h"
#include "qor/support/utf.h"

#include "qor/registry.h"

#include <cstdio>
#include <unordered_map>

namespace qor::registry {
namespace {

constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr size_t kWrapColumn = 77;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_right(std::string_view s) {
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view trim_left(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    return s;
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool equal_ascii_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equal_ascii_nocase(s.substr(0, prefix.size()), prefix);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = ascii_lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads 1 to `max_digits` hex digits at `pos`; false when there are none.
bool read_hex_number(std::string_view s, size_t& pos, size_t max_digits, uint32_t& value) {
    value = 0;
    size_t digits = 0;
    while (pos < s.size() && hex_digit(s[pos]) >= 0) {
        if (++digits > max_digits) return false;
        value = (value << 4) | uint32_t(hex_digit(s[pos]));
        ++pos;
    }
    return digits > 0;
}

std::u16string folded(std::u16string_view name) {
    std::u16string out(name);
    for (auto& c : out) c = fold_case(c);
    return out;
}

class Parser {
public:
    Parser(std::string_view text, std::string_view root_name, Key& root)
        : text_(text), root_name_(root_name), root_(root) {}

    bool run() {
        if (text_.size() > kMaxHiveFileBytes) return fail("file too large");
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        std::string line;
        bool header_seen = false;
        while (next_line(line)) {
            std::string_view l = trim_left(line);
            if (l.empty()) continue;
            if (!header_seen) {
                if (l != kHiveHeader && l != kOldHeader) return fail("missing header line");
                header_seen = true;
                continue;
            }
            bool ok = true;
            switch (l.front()) {
            case ';': break;
            case '[': ok = section(l); break;
            case '@':
            case '"': ok = value(l); break;
            default: ok = fail("unexpected text");
            }
            if (!ok) return false;
        }
        return true;
    }

    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& reason) {
        error_ = "line " + std::to_string(line_no_) + ": " + reason;
        return false;
    }

    bool next_physical(std::string_view& out) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        out = trim_right(text_.substr(pos_, end - pos_));
        pos_ = end + 1;
        ++line_no_;
        return true;
    }

    // One logical line: a value line ending in `\` continues on the next.
    bool next_line(std::string& line) {
        std::string_view part;
        if (!next_physical(part)) return false;
        line.assign(part);
        std::string_view head = trim_left(part);
        bool continues = !head.empty() && (head.front() == '"' || head.front() == '@');
        while (continues && !line.empty() && line.back() == '\\') {
            line.pop_back();
            if (!next_physical(part)) break;
            line.append(trim_left(part));
        }
        return true;
    }

    bool section(std::string_view l) {
        if (l.size() < 2 || l.back() != ']') return fail("unterminated key name");
        std::string_view inner = l.substr(1, l.size() - 2);
        if (!inner.empty() && inner.front() == '-') return fail("key deletion in a hive");
        std::string_view root = inner.substr(0, inner.find('\\'));
        if (!equal_ascii_nocase(root, root_name_)) return fail("key outside this hive");
        std::vector<std::u16string> path;
        if (root.size() < inner.size()) {
            std::u16string rest = utf8_to_utf16(std::string(inner.substr(root.size() + 1)));
            if (rest.empty() || split_key_path(rest, path) != ERROR_SUCCESS) return fail("bad key name");
        }
        bool created = false;
        current_ = &root_.create(path, created);
        index_.clear();
        for (size_t i = 0; i < current_->values.size(); ++i) index_.emplace(folded(current_->values[i].name), i);
        return true;
    }

    bool quoted(std::string_view s, size_t& pos, std::string& out) {
        out.clear();
        ++pos;  // opening quote
        while (pos < s.size()) {
            char c = s[pos++];
            if (c == '"') return true;
            if (c == '\\') {
                if (pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
                c = s[pos++];
            }
            out.push_back(c);
        }
        return false;
    }

    bool bytes(std::string_view s, std::vector<uint8_t>& out) {
        size_t i = 0;
        for (;;) {
            while (i < s.size() && is_blank(s[i])) ++i;
            if (i == s.size()) return true;
            uint32_t byte = 0;
            if (!read_hex_number(s, i, 2, byte) || out.size() >= kMaxValueBytes) return false;
            out.push_back(uint8_t(byte));
            while (i < s.size() && is_blank(s[i])) ++i;
            if (i == s.size()) return true;
            if (s[i++] != ',') return false;
        }
    }

    bool value(std::string_view l) {
        if (!current_) return fail("value before any key");
        size_t pos = 1;
        std::u16string name;
        if (l.front() == '"') {
            std::string utf8;
            pos = 0;
            if (!quoted(l, pos, utf8)) return fail("bad value name");
            name = utf8_to_utf16(utf8);
            if (name.size() > kMaxValueNameChars || !is_storable_name(name)) return fail("bad value name");
        }
        std::string_view rest = trim_left(l.substr(pos));
        if (rest.empty() || rest.front() != '=') return fail("missing '='");
        rest = trim_left(rest.substr(1));

        DWORD type = REG_BINARY;
        std::vector<uint8_t> data;
        if (!rest.empty() && rest.front() == '"') {
            std::string utf8;
            size_t p = 0;
            if (!quoted(rest, p, utf8) || !trim_left(rest.substr(p)).empty()) return fail("bad string");
            std::u16string wide = utf8_to_utf16(utf8);
            if (wide.size() >= kMaxValueBytes / 2) return fail("value too large");
            wide.push_back(u'\0');
            auto* raw = reinterpret_cast<const uint8_t*>(wide.data());
            data.assign(raw, raw + wide.size() * 2);
            type = REG_SZ;
        } else if (starts_with_nocase(rest, "dword:")) {
            size_t p = 6;
            uint32_t number = 0;
            if (!read_hex_number(rest, p, 8, number) || p != rest.size()) return fail("bad dword");
            for (int i = 0; i < 4; ++i) data.push_back(uint8_t(number >> (8 * i)));
            type = REG_DWORD;
        } else if (starts_with_nocase(rest, "hex:")) {
            if (!bytes(rest.substr(4), data)) return fail("bad hex data");
        } else if (starts_with_nocase(rest, "hex(")) {
            size_t p = 4;
            uint32_t number = 0;
            if (!read_hex_number(rest, p, 8, number) || rest.substr(p, 2) != "):") return fail("bad value type");
            if (!bytes(rest.substr(p + 2), data)) return fail("bad hex data");
            type = number;
        } else {
            return fail(rest == "-" ? "value deletion in a hive" : "bad value data");
        }
        // Indexed, as a hive's key may hold thousands of values.
        auto [slot, added] = index_.emplace(folded(name), current_->values.size());
        if (added) {
            current_->values.push_back(Value{std::move(name), type, std::move(data)});
        } else {
            Value& earlier = current_->values[slot->second];  // keeps its first spelling
            earlier.type = type;
            earlier.data = std::move(data);
        }
        return true;
    }

    std::string_view text_;
    std::string_view root_name_;
    Key& root_;
    Key* current_ = nullptr;
    std::unordered_map<std::u16string, size_t> index_;  // current_'s values by folded name
    size_t pos_ = 0;
    size_t line_no_ = 0;
    std::string error_;
};

void append_quoted(std::string& out, const std::string& utf8) {
    out.push_back('"');
    for (char c : utf8) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// A REG_SZ that reads back unchanged from "..." form: whole UTF-16 units,
// one terminating NUL, nothing that breaks a line or the UTF-8.
bool is_plain_string(const std::vector<uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    std::u16string_view text(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2 - 1);
    if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
    return text.find(u'\0') == std::u16string_view::npos && is_storable_name(text);
}

std::u16string as_text(const std::vector<uint8_t>& data) {
    std::u16string text(data.size() / 2 - 1, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    return text;
}

void append_hex(std::string& out, size_t line_start, const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
        if (i + 1 == data.size()) break;
        out.push_back(',');
        if (out.size() - line_start >= kWrapColumn) {
            out += "\\\n  ";
            line_start = out.size() - 2;
        }
    }
}

void append_value(std::string& out, const Value& v) {
    size_t line_start = out.size();
    if (v.name.empty())
        out.push_back('@');
    else
        append_quoted(out, utf16_to_utf8(v.name.data(), v.name.size()));
    out.push_back('=');
    if (v.type == REG_SZ && is_plain_string(v.data)) {
        std::u16string text = as_text(v.data);
        append_quoted(out, utf16_to_utf8(text.data(), text.size()));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[16];
        uint32_t n = uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
                     uint32_t(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
            out += buf;
        }
        append_hex(out, line_start, v.data);
    }
    out.push_back('\n');
}

void append_key(std::string& out, const Key& key, const std::string& path, bool is_root) {
    if (!is_root || !key.values.empty()) {
        out += "[" + path + "]\n";
        for (const auto& v : key.values) append_value(out, v);
        out.push_back('\n');
    }
    for (const auto& sub : key.subkeys)
        append_key(out, sub, path + "\\" + utf16_to_utf8(sub.name.data(), sub.name.size()), false);
}

}  // namespace

bool parse_hive(std::string_view text, std::string_view root_name, Key& root, std::string* error) {
    root = Key{};
    Parser parser(text, root_name, root);
    if (parser.run()) return true;
    if (error) *error = parser.error();
    root = Key{};
    return false;
}

std::string serialize_hive(const Key& root, std::string_view root_name) {
    std::string out(kHiveHeader);
    out += "\n\n";
    append_key(out, root, std::string(root_name), true);
    return out;
}

}  // namespace qor::registry
