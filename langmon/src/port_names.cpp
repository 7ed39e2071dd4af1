// Port-name classes and the comparisons the entries use.
#include "port_internal.h"

namespace qorlm {

namespace {

char16_t fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

std::u16string_view view(LPCWSTR text) { return text ? std::u16string_view(text) : std::u16string_view(); }

bool equal_folded(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool starts_with_ignore_case(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && equal_folded(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool same_text(LPCWSTR a, LPCWSTR b) { return view(a) == view(b); }

bool same_text_ignore_case(LPCWSTR a, std::u16string_view b) { return equal_folded(view(a), b); }

bool is_file_port(LPCWSTR name) {
    const auto text = view(name);
    return text.size() >= 5 && starts_with_ignore_case(text, u"FILE");
}

bool is_serial_port(LPCWSTR name) {
    const auto text = view(name);
    return text.size() >= 4 && starts_with_ignore_case(text, u"COM");
}

bool is_parallel_port(LPCWSTR name) {
    const auto text = view(name);
    return text.size() >= 4 && starts_with_ignore_case(text, u"LPT") && text[3] >= u'1' && text[3] <= u'9';
}

}  // namespace qorlm
