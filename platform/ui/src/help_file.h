// The help file's topics (format in qor/ui/help.h). Qt-free; the reader
// takes untrusted bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qorui {

struct HelpTopic {
    std::string title;  // UTF-8
    std::string text;   // lines joined with '\n', trailing blank lines dropped
};

inline constexpr size_t kHelpFileLimit = size_t{1} << 20;

// Topics by context number; nullopt for a file over kHelpFileLimit, a topic
// line whose number is not a decimal of at most 32 bits, or a number given
// twice. CR LF line ends are accepted.
std::optional<std::map<uint32_t, HelpTopic>> read_help_file(const char* data, size_t size);

}  // namespace qorui
