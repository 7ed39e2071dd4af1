// Narrow <-> wide conversion of arbitrary bytes in every supported code
// page, with size queries, short buffers and strict flags.
#include "qor/strings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr UINT pages[] = {CP_ACP, CP_OEMCP, 1252, 437, 932, 949, 950, CP_UTF8, 12345};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    UINT page = pages[data[0] % std::size(pages)];
    uint8_t options = data[1];
    const char* text = reinterpret_cast<const char*>(data + 2);
    int length = static_cast<int>(size - 2);
    if (length == 0) return 0;
    DWORD flags = (options & 1) ? MB_ERR_INVALID_CHARS : 0;

    int needed = MultiByteToWideChar(page, flags, text, length, nullptr, 0);
    if (needed <= 0) return 0;
    std::vector<WCHAR> wide(static_cast<size_t>(needed));
    if (MultiByteToWideChar(page, flags, text, length, wide.data(), needed) != needed) __builtin_trap();
    // A buffer one short must fail, not overrun.
    if (needed > 1 && MultiByteToWideChar(page, flags, text, length, wide.data(), needed - 1) != 0) __builtin_trap();

    BOOL used = FALSE;
    BOOL* used_pointer = page == CP_UTF8 ? nullptr : &used;
    const char* default_char = (options & 2) && page != CP_UTF8 ? "*" : nullptr;
    int back = WideCharToMultiByte(page, 0, wide.data(), needed, nullptr, 0, default_char, used_pointer);
    if (back <= 0) __builtin_trap();
    std::vector<char> narrow(static_cast<size_t>(back));
    if (WideCharToMultiByte(page, 0, wide.data(), needed, narrow.data(), back, default_char, used_pointer) != back)
        __builtin_trap();
    if (back > 1) WideCharToMultiByte(page, 0, wide.data(), needed, narrow.data(), back - 1, default_char, used_pointer);

    // The input bytes read as UTF-16 as well (any units, lone surrogates too).
    if (length >= 2) {
        std::vector<WCHAR> units(static_cast<size_t>(length) / 2);
        std::memcpy(units.data(), text, units.size() * sizeof(WCHAR));
        int count = static_cast<int>(units.size());
        int out = WideCharToMultiByte(page, (options & 4) && page == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0,
                                      units.data(), count, nullptr, 0, nullptr, nullptr);
        if (out > 0) {
            std::vector<char> bytes(static_cast<size_t>(out));
            WideCharToMultiByte(page, 0, units.data(), count, bytes.data(), out, nullptr, nullptr);
        }
    }
    return 0;
}
