#include "input_check.h"

#include "qor/strings.h"

#include <strings.h>
#include <vector>

namespace {

bool IsTextControl(unsigned char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsUtf8(const std::string& bytes) {
    if (bytes.empty()) return true;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               0) > 0;
}

// The ANSI code page's reading of `bytes` as UTF-8; false when some byte
// has no character there.
bool FromAnsi(const std::string& bytes, std::string* utf8) {
    const int size = static_cast<int>(bytes.size());
    const int chars = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (chars <= 0) return false;
    std::vector<WCHAR> wide(static_cast<size_t>(chars));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), chars) != chars)
        return false;
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    utf8->assign(static_cast<size_t>(length), '\0');
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, utf8->data(), length, nullptr, nullptr) == length;
}

}  // namespace

bool CheckText(const std::string& bytes, std::string* utf8, std::string* why) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0) {
            *why = "it holds NUL bytes (at byte " + std::to_string(i) + "), so it is not text";
            return false;
        }
        if ((c < 0x20 || c == 0x7F) && !IsTextControl(c)) {
            *why = "it holds control codes (byte " + std::to_string(c) + " at " + std::to_string(i) +
                   "), so it is not text";
            return false;
        }
    }
    if (IsUtf8(bytes)) {
        *utf8 = bytes;
        return true;
    }
    if (!FromAnsi(bytes, utf8)) {
        *why = "it is neither UTF-8 nor text in code page " + std::to_string(GetACP());
        return false;
    }
    // Bytes the code page reads as C1 control codes (U+0080..U+009F, in
    // UTF-8 C2 80..C2 9F) are no more text than C0 ones.
    for (size_t i = 0; i + 1 < utf8->size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>((*utf8)[i]);
        const unsigned char next = static_cast<unsigned char>((*utf8)[i + 1]);
        if (lead == 0xC2 && next >= 0x80 && next <= 0x9F) {
            *why = "it holds control codes in code page " + std::to_string(GetACP()) + ", so it is not text";
            return false;
        }
    }
    return true;
}

std::optional<FileKind> KindByName(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
    const char* ext = path.c_str() + dot + 1;
    if (strcasecmp(ext, "png") == 0) return FileKind::Png;
    if (strcasecmp(ext, "jpg") == 0 || strcasecmp(ext, "jpeg") == 0) return FileKind::Jpeg;
    return std::nullopt;
}
