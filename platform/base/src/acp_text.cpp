// Narrow text in the ANSI code page to and from UTF-8, through UTF-16.
#include "acp_text.h"
#include "qor/support/utf.h"

#include "qor/strings.h"

namespace qor {

std::string acp_to_utf8(const char* zero_terminated) {
    if (!zero_terminated || !*zero_terminated) return std::string();
    int needed = MultiByteToWideChar(CP_ACP, 0, zero_terminated, -1, nullptr, 0);
    if (needed <= 0) return std::string();
    std::u16string wide(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, 0, zero_terminated, -1, wide.data(), needed);
    return utf16_to_utf8(wide.data(), static_cast<size_t>(needed - 1));
}

std::string utf8_to_acp(const std::string& text) {
    std::u16string wide = utf8_to_utf16(text);
    if (wide.empty()) return std::string();
    int length = static_cast<int>(wide.size());
    int needed = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, out.data(), needed, nullptr, nullptr);
    return out;
}

}  // namespace qor
