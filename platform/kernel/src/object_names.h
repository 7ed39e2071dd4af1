// Names of kernel objects and files arrive narrow (ANSI code page) or wide;
// the platform keys them in UTF-8.
#pragma once

#include "qor/base.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include <optional>
#include <string>

namespace qor::kernel {

inline std::optional<std::string> object_name(LPCSTR name) {
    return name ? std::optional<std::string>(acp_to_utf8(name)) : std::nullopt;
}

inline std::optional<std::string> object_name(LPCWSTR name) {
    return name ? std::optional<std::string>(utf16_to_utf8(name)) : std::nullopt;
}

// Calls `use` with the name, or fails with ERROR_INVALID_PARAMETER and
// `failure` when the caller gave none.
template <class Char, class Result, class Use>
Result with_required_name(const Char* name, Result failure, Use use) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return failure;
    }
    return use(*object_name(name));
}

}  // namespace qor::kernel
