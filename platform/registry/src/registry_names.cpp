#include "registry_names.h"

#include "registry_limits.h"

namespace qor::registry {

// Folds the scripts a key or value name is realistically written in (ASCII,
// Latin-1, Latin Extended-A, Greek, Cyrillic) to upper case, as the original
// platform compares names by their upper-case forms.
char16_t fold_case(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
        // Pairs alternate: even upper, odd lower, except 0x139..0x148 and 0x179..0x17E.
        bool odd_is_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool is_lower = odd_is_upper ? (c % 2 == 0) : (c % 2 == 1);
        return is_lower ? char16_t(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    return c;
}

bool names_equal(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && fold_case(a[i]) != fold_case(b[i])) return false;
    return true;
}

// Control characters would break the hive file's lines, and an unpaired
// surrogate would not survive the file's UTF-8.
bool is_storable_name(std::u16string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        char16_t c = name[i];
        if (c < 0x20 || c == 0x7F || (c >= 0xDC00 && c <= 0xDFFF)) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

LONG split_key_path(std::u16string_view path, std::vector<std::u16string>& components) {
    components.clear();
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == u'\\') return ERROR_BAD_PATHNAME;
    if (path.back() == u'\\') path.remove_suffix(1);
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? end : end - start);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyNameChars || !is_storable_name(part)) return ERROR_INVALID_PARAMETER;
        components.emplace_back(part);
        if (components.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

}  // namespace qor::registry
