// Tokens of a resource script after preprocessing: #include, #define (object
// macros), #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, #pragma (ignored),
// comments. Every token knows its file and line for error messages.
#pragma once

#include "rc_resource.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qorrc {

struct Location {
    std::shared_ptr<const std::string> file;
    int line = 0;
    std::string describe() const { return (file ? *file : std::string("?")) + ":" + std::to_string(line); }
};

struct Token {
    enum Kind { Word, Number, String, Punct, End } kind = End;
    std::string text;       // the word, the punctuation, or the number as written
    std::u16string string;  // String: the decoded text
    uint32_t number = 0;    // Number
    bool long_number = false;  // Number with an L suffix
    Location where;
};

// Preprocesses `path` (and what it includes, searched beside the including
// file, then in `include_dirs`) into tokens ending with one End token. The
// platform's own headers (windows.h, winres.h and the like) are known
// without a file. Throws Failure naming file and line.
std::vector<Token> tokenize_script(const std::string& path, const std::vector<std::string>& include_dirs);

// The tokens of one text (for tests and for macro bodies).
std::vector<Token> tokenize_text(const std::string& text, const std::string& file_name);

}  // namespace qorrc
