// Port-name classes and the comparisons the entries use.
#include "port_internal.h"

#include "qor/spool/ports.h"

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

}  // namespace

bool same_text(LPCWSTR a, LPCWSTR b) { return view(a) == view(b); }

bool same_text_ignore_case(LPCWSTR a, std::u16string_view b) { return equal_folded(view(a), b); }

bool is_file_port(LPCWSTR name) { return qor::ports::is_file_port(view(name)); }

bool is_serial_port(LPCWSTR name) { return qor::ports::is_serial_port(view(name)); }

bool is_parallel_port(LPCWSTR name) { return qor::ports::is_parallel_port(view(name)); }

}  // namespace qorlm
