// Narrow <-> wide conversion with the platform's argument rules: length -1
// means zero-terminated (terminator counted), a zero output size asks for
// the needed count, and a short buffer fails with ERROR_INSUFFICIENT_BUFFER.
#include "qor/strings.h"
#include "qor/guard.h"

#include "codepage.h"
#include "qor/support/utf.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

using qor::codepage::Table;

constexpr DWORD mb_composite = 0x00000002;
constexpr DWORD mb_useglyphchars = 0x00000004;
constexpr DWORD mb_known_flags = MB_PRECOMPOSED | mb_composite | mb_useglyphchars | MB_ERR_INVALID_CHARS;
constexpr DWORD wc_known_flags =
    WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// Counts output units and stores those that fit; `full` once one did not.
template <class Unit>
struct Sink {
    Unit* out;
    size_t capacity;  // 0: counting only
    size_t count = 0;
    bool full = false;

    void put(Unit unit) {
        if (capacity) {
            if (count < capacity)
                out[count] = unit;
            else
                full = true;
        }
        ++count;
    }
    // A double-byte character is stored whole or not at all.
    void put_pair(Unit first, Unit second) {
        if (capacity && count + 2 > capacity) {
            full = true;
            count += 2;
            return;
        }
        put(first);
        put(second);
    }
    // The value the conversion calls return.
    int finish() {
        if (full) return fail(ERROR_INSUFFICIENT_BUFFER);
        if (count > INT_MAX) return fail(ERROR_INVALID_PARAMETER);
        return static_cast<int>(count);
    }
};

bool overlaps(const void* a, size_t a_bytes, const void* b, size_t b_bytes) {
    auto pa = reinterpret_cast<uintptr_t>(a);
    auto pb = reinterpret_cast<uintptr_t>(b);
    return pa < pb + b_bytes && pb < pa + a_bytes;
}

// Returns false when invalid input must fail the call.
bool utf8_to_wide(const unsigned char* text, size_t length, bool strict, Sink<char16_t>& sink) {
    for (size_t i = 0; i < length && !sink.full;) {
        qor::Utf8Step step = qor::decode_utf8(text + i, length - i);
        if (!step.valid && strict) return false;
        if (step.code_point < 0x10000) {
            sink.put(static_cast<char16_t>(step.code_point));
        } else {
            char32_t c = step.code_point - 0x10000;
            sink.put_pair(static_cast<char16_t>(0xD800 | (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        }
        i += step.bytes;
    }
    return true;
}

bool page_to_wide(const Table& table, const unsigned char* text, size_t length, bool strict,
                  Sink<char16_t>& sink) {
    for (size_t i = 0; i < length && !sink.full;) {
        uint8_t byte = text[i];
        uint16_t unit = Table::unmapped;
        size_t used = 1;
        if (table.is_lead(byte)) {
            // A lead byte without a valid trail stands alone, so the byte after
            // it (often ASCII) is still read as itself.
            if (i + 1 < length && text[i + 1] != 0) {
                unit = table.decode(byte, text[i + 1]);
                if (unit != Table::unmapped) used = 2;
            }
        } else {
            unit = table.decode(byte);
        }
        if (unit == Table::unmapped) {
            if (strict) return false;
            unit = u'?';
        }
        sink.put(static_cast<char16_t>(unit));
        i += used;
    }
    return true;
}

void wide_to_utf8(const char16_t* wide, size_t length, bool strict, bool& invalid, Sink<char>& sink) {
    for (size_t i = 0; i < length && !sink.full;) {
        qor::Utf16Step step = qor::decode_utf16(wide + i, length - i);
        if (!step.valid && strict) {
            invalid = true;
            return;
        }
        char bytes[4];
        size_t n = qor::encode_utf8(step.code_point, bytes);
        // A character is stored whole or not at all.
        if (sink.capacity && sink.count + n > sink.capacity) {
            sink.full = true;
            return;
        }
        for (size_t k = 0; k < n; ++k) sink.put(bytes[k]);
        i += step.units;
    }
}

void wide_to_page(const Table& table, const char16_t* wide, size_t length, const char* default_char,
                  bool& used_default, Sink<char>& sink) {
    char fallback[2] = {'?', 0};
    size_t fallback_length = 1;
    if (default_char) {
        fallback[0] = default_char[0];
        if (table.is_lead(static_cast<uint8_t>(default_char[0])) && default_char[1]) {
            fallback[1] = default_char[1];
            fallback_length = 2;
        }
    }
    for (size_t i = 0; i < length && !sink.full;) {
        qor::Utf16Step step = qor::decode_utf16(wide + i, length - i);
        uint16_t code = step.code_point < 0x10000 ? table.encode(static_cast<char16_t>(step.code_point))
                                                  : Table::unmapped;
        if (code == Table::unmapped) {
            used_default = true;
            if (fallback_length == 2)
                sink.put_pair(fallback[0], fallback[1]);
            else
                sink.put(fallback[0]);
        } else if (code < 0x100) {
            sink.put(static_cast<char>(code));
        } else {
            sink.put_pair(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
        }
        i += step.units;
    }
}

// Simple case folding for the scripts the suite's names and texts use.
char16_t fold(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A pairs upper/lower as even/odd, except in the
        // stretch 0x139-0x148 and 0x179-0x17E where they pair odd/even.
        bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool lower = odd_upper ? (c % 2 == 0) : (c % 2 == 1);
        return lower ? static_cast<char16_t>(c - 1) : c;
    }
    return c;
}

int sign(long difference) { return difference < 0 ? -1 : difference > 0 ? 1 : 0; }

int compare_wide(const char16_t* a, const char16_t* b, bool ignore_case) {
    if (!a || !b) return a ? 1 : b ? -1 : 0;
    for (;; ++a, ++b) {
        char16_t ca = ignore_case ? fold(*a) : *a;
        char16_t cb = ignore_case ? fold(*b) : *b;
        if (ca != cb || !ca) return sign(long(ca) - long(cb));
    }
}

std::u16string acp_to_wide(const char* text) {
    int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 0) return std::u16string();
    std::u16string wide(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), needed);
    return wide;
}

}  // namespace

extern "C" {

QORAPI UINT GetACP(void) { return qor::codepage::ansi_code_page(); }

QORAPI UINT GetOEMCP(void) { return qor::codepage::oem_code_page(); }

QORAPI int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                               int wide_length) {
    return qor::guarded(0, [&]() -> int {
        if (!text || length == 0 || length < -1 || wide_length < 0 || (wide_length > 0 && !wide))
            return fail(ERROR_INVALID_PARAMETER);
        UINT page = qor::codepage::resolve(code_page);
        const Table* table = page == CP_UTF8 ? nullptr : Table::find(page);
        if (page != CP_UTF8 && !table) return fail(ERROR_INVALID_PARAMETER);
        if ((flags & ~mb_known_flags) || (page == CP_UTF8 && (flags & ~DWORD(MB_ERR_INVALID_CHARS))) ||
            ((flags & MB_PRECOMPOSED) && (flags & mb_composite)))
            return fail(ERROR_INVALID_PARAMETER);

        size_t count = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
        if (count > INT_MAX) return fail(ERROR_INVALID_PARAMETER);
        if (wide_length > 0 && overlaps(text, count, wide, size_t(wide_length) * sizeof(WCHAR)))
            return fail(ERROR_INVALID_PARAMETER);

        auto bytes = reinterpret_cast<const unsigned char*>(text);
        bool strict = flags & MB_ERR_INVALID_CHARS;
        Sink<char16_t> sink{wide, static_cast<size_t>(wide_length)};
        bool ok = table ? page_to_wide(*table, bytes, count, strict, sink) : utf8_to_wide(bytes, count, strict, sink);
        if (!ok) return fail(ERROR_NO_UNICODE_TRANSLATION);
        return sink.finish();
    });
}

QORAPI int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int wide_length, LPSTR text,
                               int length, LPCSTR default_char, LPBOOL used_default) {
    return qor::guarded(0, [&]() -> int {
        if (!wide || wide_length == 0 || wide_length < -1 || length < 0 || (length > 0 && !text))
            return fail(ERROR_INVALID_PARAMETER);
        UINT page = qor::codepage::resolve(code_page);
        const Table* table = page == CP_UTF8 ? nullptr : Table::find(page);
        if (page != CP_UTF8 && !table) return fail(ERROR_INVALID_PARAMETER);
        if (page == CP_UTF8) {
            // UTF-8 has no default character; the platform refuses to pretend.
            if ((flags & ~DWORD(WC_ERR_INVALID_CHARS)) || default_char || used_default)
                return fail(ERROR_INVALID_PARAMETER);
        } else if (flags & ~wc_known_flags) {
            return fail(ERROR_INVALID_PARAMETER);
        }

        size_t count = wide_length == -1 ? qor::wide_length(wide) + 1 : static_cast<size_t>(wide_length);
        if (count > INT_MAX) return fail(ERROR_INVALID_PARAMETER);
        if (length > 0 && overlaps(wide, count * sizeof(WCHAR), text, size_t(length)))
            return fail(ERROR_INVALID_PARAMETER);

        Sink<char> sink{text, static_cast<size_t>(length)};
        if (table) {
            bool defaulted = false;
            wide_to_page(*table, wide, count, default_char, defaulted, sink);
            if (used_default) *used_default = defaulted ? TRUE : FALSE;
        } else {
            bool invalid = false;
            wide_to_utf8(wide, count, flags & WC_ERR_INVALID_CHARS, invalid, sink);
            if (invalid) return fail(ERROR_NO_UNICODE_TRANSLATION);
        }
        return sink.finish();
    });
}

QORAPI BOOL IsDBCSLeadByteEx(UINT code_page, BYTE test) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        const Table* table = Table::find(qor::codepage::resolve(code_page));
        if (!table) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return table->is_lead(test) ? TRUE : FALSE;
    });
}

QORAPI BOOL IsDBCSLeadByte(BYTE test) { return IsDBCSLeadByteEx(CP_ACP, test); }

QORAPI LPSTR CharNextA(LPCSTR text) {
    return qor::guarded(static_cast<LPSTR>(nullptr), [&]() -> LPSTR {
        if (!text) return nullptr;
        if (!*text) return const_cast<LPSTR>(text);
        if (IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1]) return const_cast<LPSTR>(text + 2);
        return const_cast<LPSTR>(text + 1);
    });
}

QORAPI int lstrlenA(LPCSTR text) {
    if (!text) return 0;
    size_t n = std::strlen(text);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

QORAPI int lstrlenW(LPCWSTR text) {
    size_t n = qor::wide_length(text);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

QORAPI LPSTR lstrcpyA(LPSTR dest, LPCSTR src) {
    return qor::guarded(static_cast<LPSTR>(nullptr), [&]() -> LPSTR {
        if (!dest || !src) return nullptr;
        std::memmove(dest, src, std::strlen(src) + 1);
        return dest;
    });
}

QORAPI LPWSTR lstrcpyW(LPWSTR dest, LPCWSTR src) {
    return qor::guarded(static_cast<LPWSTR>(nullptr), [&]() -> LPWSTR {
        if (!dest || !src) return nullptr;
        std::memmove(dest, src, (qor::wide_length(src) + 1) * sizeof(WCHAR));
        return dest;
    });
}

QORAPI LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int max) {
    return qor::guarded(static_cast<LPSTR>(nullptr), [&]() -> LPSTR {
        if (!dest) return nullptr;
        if (max <= 0) return dest;
        size_t n = src ? strnlen(src, static_cast<size_t>(max - 1)) : 0;
        if (n) std::memmove(dest, src, n);
        dest[n] = '\0';
        return dest;
    });
}

QORAPI LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR src, int max) {
    return qor::guarded(static_cast<LPWSTR>(nullptr), [&]() -> LPWSTR {
        if (!dest) return nullptr;
        if (max <= 0) return dest;
        size_t n = 0;
        while (src && n < static_cast<size_t>(max - 1) && src[n]) ++n;
        if (n) std::memmove(dest, src, n * sizeof(WCHAR));
        dest[n] = u'\0';
        return dest;
    });
}

QORAPI LPSTR lstrcatA(LPSTR dest, LPCSTR src) {
    return qor::guarded(static_cast<LPSTR>(nullptr), [&]() -> LPSTR {
        if (!dest || !src) return nullptr;
        std::memmove(dest + std::strlen(dest), src, std::strlen(src) + 1);
        return dest;
    });
}

QORAPI LPWSTR lstrcatW(LPWSTR dest, LPCWSTR src) {
    return qor::guarded(static_cast<LPWSTR>(nullptr), [&]() -> LPWSTR {
        if (!dest || !src) return nullptr;
        std::memmove(dest + qor::wide_length(dest), src, (qor::wide_length(src) + 1) * sizeof(WCHAR));
        return dest;
    });
}

QORAPI int lstrcmpA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return a ? 1 : b ? -1 : 0;
    return sign(std::strcmp(a, b));
}

QORAPI int lstrcmpW(LPCWSTR a, LPCWSTR b) { return compare_wide(a, b, false); }

QORAPI int lstrcmpiW(LPCWSTR a, LPCWSTR b) { return compare_wide(a, b, true); }

QORAPI int lstrcmpiA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return a ? 1 : b ? -1 : 0;
    std::u16string wa = acp_to_wide(a), wb = acp_to_wide(b);
    return compare_wide(wa.c_str(), wb.c_str(), true);
}

}  // extern "C"
