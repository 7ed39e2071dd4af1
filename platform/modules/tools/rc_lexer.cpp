#include "rc_lexer.h"

#include "qor/support/utf.h"

#include <cstdio>
#include <set>
#include <sstream>

namespace qorrc {
namespace {

constexpr int max_include_depth = 32;
constexpr int max_macro_depth = 32;

const std::set<std::string> platform_headers = {"windows.h", "winres.h",  "afxres.h", "winresrc.h", "winuser.h",
                                                "commctrl.h", "winver.h", "winnt.h",  "richedit.h", "dlgs.h"};

bool read_file_text(const std::string& path, std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char chunk[65536];
    size_t n;
    content.clear();
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool is_word_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_word_char(char c) { return is_word_start(c) || (c >= '0' && c <= '9'); }

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Scans the tokens of one logical line (comments removed beforehand).
class LineScanner {
public:
    LineScanner(const std::string& text, Location where) : text_(text), where_(std::move(where)) {}

    std::vector<Token> scan() {
        std::vector<Token> tokens;
        while (true) {
            while (i_ < text_.size() && (text_[i_] == ' ' || text_[i_] == '\t' || text_[i_] == '\r' || text_[i_] == '\f'))
                ++i_;
            if (i_ >= text_.size()) return tokens;
            tokens.push_back(next());
        }
    }

private:
    [[noreturn]] void fail(const std::string& message) const { throw Failure{where_.describe() + ": " + message}; }

    Token next() {
        Token token;
        token.where = where_;
        char c = text_[i_];
        if ((c == 'L' || c == 'l') && i_ + 1 < text_.size() && text_[i_ + 1] == '"') {
            ++i_;
            c = '"';
        }
        if (c == '"') {
            ++i_;
            token.kind = Token::String;
            token.string = quoted();
            return token;
        }
        if (c >= '0' && c <= '9') return number(token);
        if (is_word_start(c)) {
            size_t start = i_;
            while (i_ < text_.size() && (is_word_char(text_[i_]) || text_[i_] == '.' || text_[i_] == '\\' ||
                                        text_[i_] == '/'))
                ++i_;
            token.kind = Token::Word;
            token.text = text_.substr(start, i_ - start);
            return token;
        }
        token.kind = Token::Punct;
        static const char* pairs[] = {"&&", "||", "==", "!="};
        for (const char* pair : pairs) {
            if (text_.compare(i_, 2, pair) == 0) {
                token.text = pair;
                i_ += 2;
                return token;
            }
        }
        token.text = std::string(1, c);
        ++i_;
        return token;
    }

    Token number(Token& token) {
        token.kind = Token::Number;
        size_t start = i_;
        uint64_t value = 0;
        if (text_[i_] == '0' && i_ + 1 < text_.size() && (text_[i_ + 1] == 'x' || text_[i_ + 1] == 'X')) {
            i_ += 2;
            if (i_ >= text_.size() || hex_digit(text_[i_]) < 0) fail("bad hexadecimal number");
            while (i_ < text_.size() && hex_digit(text_[i_]) >= 0) {
                value = value * 16 + static_cast<uint64_t>(hex_digit(text_[i_++]));
                if (value > 0xFFFFFFFFu) fail("number larger than 32 bits");
            }
        } else {
            while (i_ < text_.size() && text_[i_] >= '0' && text_[i_] <= '9') {
                value = value * 10 + static_cast<uint64_t>(text_[i_++] - '0');
                if (value > 0xFFFFFFFFu) fail("number larger than 32 bits");
            }
        }
        while (i_ < text_.size() && (text_[i_] == 'L' || text_[i_] == 'l' || text_[i_] == 'U' || text_[i_] == 'u')) {
            if (text_[i_] == 'L' || text_[i_] == 'l') token.long_number = true;
            ++i_;
        }
        if (i_ < text_.size() && is_word_char(text_[i_])) fail("bad number '" + text_.substr(start, i_ + 1 - start) + "'");
        token.number = static_cast<uint32_t>(value);
        token.text = text_.substr(start, i_ - start);
        return token;
    }

    std::u16string quoted() {
        std::u16string result;
        while (true) {
            if (i_ >= text_.size()) fail("missing closing quote");
            char c = text_[i_];
            if (c == '"') {
                if (i_ + 1 < text_.size() && text_[i_ + 1] == '"') {  // "" is one quote
                    result.push_back(u'"');
                    i_ += 2;
                    continue;
                }
                ++i_;
                return result;
            }
            if (c == '\\') {
                result.push_back(escape());
                continue;
            }
            auto bytes = reinterpret_cast<const unsigned char*>(text_.data());
            qor::Utf8Step step = qor::decode_utf8(bytes + i_, text_.size() - i_);
            if (!step.valid) fail("text is not UTF-8");
            result += qor::utf8_to_utf16(text_.substr(i_, step.bytes));
            i_ += step.bytes;
        }
    }

    char16_t escape() {
        if (++i_ >= text_.size()) fail("escape at end of line");
        char e = text_[i_++];
        switch (e) {
        case 'n': return u'\n';
        case 't': return u'\t';
        case 'r': return u'\r';
        case 'a': return u'\a';
        case 'b': return u'\b';
        case '0': return u'\0';
        case '\\': return u'\\';
        case '"': return u'"';
        case '\'': return u'\'';
        case 'x': {
            unsigned value = 0;
            int digits = 0;
            while (digits < 4 && i_ < text_.size() && hex_digit(text_[i_]) >= 0) {
                value = value * 16 + static_cast<unsigned>(hex_digit(text_[i_++]));
                ++digits;
            }
            if (digits == 0) fail("bad \\x escape");
            return static_cast<char16_t>(value);
        }
        default: fail(std::string("unknown escape \\") + e);
        }
    }

    const std::string& text_;
    Location where_;
    size_t i_ = 0;
};

struct Condition {
    bool active;     // this branch is being read
    bool taken;      // some branch of this #if was taken
    bool outer;      // the enclosing branch is active
};

class Preprocessor {
public:
    explicit Preprocessor(std::vector<std::string> include_dirs) : include_dirs_(std::move(include_dirs)) {
        macros_["RC_INVOKED"] = tokenize_text("1", "<built-in>");
    }

    void file(const std::string& path, int depth) {
        if (depth > max_include_depth) throw Failure{path + ": includes nested too deeply"};
        std::string content;
        if (!read_file_text(path, content)) throw Failure{"cannot read " + path};
        auto name = std::make_shared<const std::string>(path);
        std::vector<std::string> lines = logical_lines(content, *name);
        std::vector<Condition> conditions;
        for (size_t n = 0; n < lines.size(); ++n) {
            Location where{name, static_cast<int>(n + 1)};
            const std::string& line = lines[n];
            size_t first = line.find_first_not_of(" \t\r\f");
            bool active = conditions.empty() || conditions.back().active;
            if (first != std::string::npos && line[first] == '#') {
                directive(line.substr(first + 1), where, conditions, depth);
                continue;
            }
            if (!active) continue;
            for (Token& token : LineScanner(line, where).scan()) emit(token, 0);
        }
        if (!conditions.empty()) throw Failure{path + ": #if without #endif"};
    }

    std::vector<Token> take() {
        Token end;
        end.kind = Token::End;
        end.text = "end of file";
        if (!tokens_.empty()) end.where = tokens_.back().where;
        tokens_.push_back(end);
        return std::move(tokens_);
    }

private:
    [[noreturn]] static void fail(const Location& where, const std::string& message) {
        throw Failure{where.describe() + ": " + message};
    }

    // Lines with comments blanked and backslash continuations joined; the
    // joined lines stay as empty lines so line numbers keep counting.
    static std::vector<std::string> logical_lines(const std::string& content, const std::string& name) {
        std::vector<std::string> lines(1);
        bool in_block = false, in_string = false;
        int block_start = 0, folded = 0;
        for (size_t i = 0; i < content.size(); ++i) {
            char c = content[i];
            if (c == '\n') {
                if (in_string) throw Failure{name + ":" + std::to_string(lines.size()) + ": missing closing quote"};
                if (!in_block && !lines.back().empty() && lines.back().back() == '\\') {
                    lines.back().back() = ' ';
                    ++folded;
                    continue;
                }
                for (; folded > 0; --folded) lines.emplace_back();
                lines.emplace_back();
                continue;
            }
            if (in_block) {
                if (c == '*' && i + 1 < content.size() && content[i + 1] == '/') {
                    in_block = false;
                    ++i;
                    lines.back() += ' ';
                }
                continue;
            }
            if (in_string) {
                lines.back() += c;
                if (c == '\\' && i + 1 < content.size() && content[i + 1] != '\n') lines.back() += content[++i];
                else if (c == '"') in_string = false;
                continue;
            }
            if (c == '"') in_string = true;
            if (c == '/' && i + 1 < content.size() && content[i + 1] == '/') {
                while (i + 1 < content.size() && content[i + 1] != '\n') ++i;
                continue;
            }
            if (c == '/' && i + 1 < content.size() && content[i + 1] == '*') {
                in_block = true;
                block_start = static_cast<int>(lines.size());
                ++i;
                continue;
            }
            lines.back() += c;
        }
        if (in_block) throw Failure{name + ":" + std::to_string(block_start) + ": comment without its end"};
        return lines;
    }

    void directive(const std::string& text, const Location& where, std::vector<Condition>& conditions, int depth) {
        std::istringstream in(text);
        std::string word;
        in >> word;
        std::string rest = text.substr(std::min(text.size(), text.find(word) + word.size()));
        bool active = conditions.empty() || conditions.back().active;
        if (word == "if" || word == "ifdef" || word == "ifndef") {
            bool value = false;
            if (active) {
                std::vector<Token> line = LineScanner(rest, where).scan();
                if (word == "if") value = evaluate(line, where);
                else {
                    if (line.size() != 1 || line[0].kind != Token::Word) fail(where, "#" + word + " needs one name");
                    value = macros_.count(line[0].text) == (word == "ifdef" ? 1u : 0u);
                }
            }
            conditions.push_back({active && value, value, active});
        } else if (word == "elif" || word == "else") {
            if (conditions.empty()) fail(where, "#" + word + " without #if");
            Condition& c = conditions.back();
            bool value = word == "else" || (c.outer && !c.taken && evaluate(LineScanner(rest, where).scan(), where));
            c.active = c.outer && !c.taken && value;
            c.taken = c.taken || c.active;
        } else if (word == "endif") {
            if (conditions.empty()) fail(where, "#endif without #if");
            conditions.pop_back();
        } else if (!active) {
            return;
        } else if (word == "define") {
            std::vector<Token> line = LineScanner(rest, where).scan();
            if (line.empty() || line[0].kind != Token::Word) fail(where, "#define needs a name");
            if (line.size() > 1 && line[1].kind == Token::Punct && line[1].text == "(" &&
                rest.find(line[0].text + "(") != std::string::npos)
                fail(where, "macros with arguments are not supported");
            macros_[line[0].text] = std::vector<Token>(line.begin() + 1, line.end());
        } else if (word == "undef") {
            std::vector<Token> line = LineScanner(rest, where).scan();
            if (line.size() != 1 || line[0].kind != Token::Word) fail(where, "#undef needs one name");
            macros_.erase(line[0].text);
        } else if (word == "include") {
            include(rest, where, depth);
        } else if (word == "pragma" || word.empty()) {
            return;
        } else if (word == "error") {
            fail(where, "#error" + rest);
        } else {
            fail(where, "unknown directive #" + word);
        }
    }

    void include(const std::string& rest, const Location& where, int depth) {
        size_t open = rest.find_first_of("\"<");
        if (open == std::string::npos) fail(where, "#include needs \"file\" or <file>");
        char close_char = rest[open] == '"' ? '"' : '>';
        size_t close = rest.find(close_char, open + 1);
        if (close == std::string::npos) fail(where, "#include name without its end");
        std::string name = rest.substr(open + 1, close - open - 1);
        std::string lower;
        for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (platform_headers.count(lower)) return;
        std::vector<std::string> dirs;
        std::string here = *where.file;
        size_t slash = here.rfind('/');
        if (close_char == '"') dirs.push_back(slash == std::string::npos ? "." : here.substr(0, slash));
        dirs.insert(dirs.end(), include_dirs_.begin(), include_dirs_.end());
        for (const std::string& dir : dirs) {
            std::string candidate = name.size() && name[0] == '/' ? name : dir + "/" + name;
            if (std::FILE* probe = std::fopen(candidate.c_str(), "rb")) {
                std::fclose(probe);
                file(candidate, depth + 1);
                return;
            }
        }
        fail(where, "cannot find include file " + name);
    }

    void emit(const Token& token, int depth) {
        if (token.kind == Token::Word) {
            auto macro = macros_.find(token.text);
            if (macro != macros_.end()) {
                if (depth > max_macro_depth) fail(token.where, "macro " + token.text + " expands without end");
                for (Token expanded : macro->second) {
                    expanded.where = token.where;
                    emit(expanded, depth + 1);
                }
                return;
            }
        }
        tokens_.push_back(token);
    }

    // #if expressions: numbers, names (macros, else 0), defined, !, &&, ||,
    // ==, !=, parentheses.
    bool evaluate(const std::vector<Token>& line, const Location& where) {
        std::vector<Token> expanded;
        for (size_t k = 0; k < line.size(); ++k) {
            if (line[k].kind == Token::Word && line[k].text == "defined") {
                bool paren = k + 1 < line.size() && line[k + 1].text == "(";
                size_t at = k + (paren ? 2 : 1);
                if (at >= line.size() || line[at].kind != Token::Word) fail(where, "defined needs a name");
                Token value;
                value.kind = Token::Number;
                value.number = macros_.count(line[at].text) ? 1 : 0;
                expanded.push_back(value);
                k = at + (paren ? 1 : 0);
                continue;
            }
            size_t before = tokens_.size();
            emit(line[k], 0);
            expanded.insert(expanded.end(), tokens_.begin() + static_cast<long>(before), tokens_.end());
            tokens_.resize(before);
        }
        size_t at = 0;
        long value = or_expression(expanded, at, where);
        if (at != expanded.size()) fail(where, "cannot read the #if expression");
        return value != 0;
    }

    long or_expression(const std::vector<Token>& t, size_t& at, const Location& where) {
        long value = and_expression(t, at, where);
        while (at < t.size() && t[at].text == "||") {
            ++at;
            long right = and_expression(t, at, where);
            value = value || right;
        }
        return value;
    }
    long and_expression(const std::vector<Token>& t, size_t& at, const Location& where) {
        long value = compare(t, at, where);
        while (at < t.size() && t[at].text == "&&") {
            ++at;
            long right = compare(t, at, where);
            value = value && right;
        }
        return value;
    }
    long compare(const std::vector<Token>& t, size_t& at, const Location& where) {
        long value = primary(t, at, where);
        while (at < t.size() && (t[at].text == "==" || t[at].text == "!=")) {
            bool equal = t[at++].text == "==";
            long right = primary(t, at, where);
            value = equal ? value == right : value != right;
        }
        return value;
    }
    long primary(const std::vector<Token>& t, size_t& at, const Location& where) {
        if (at >= t.size()) fail(where, "#if expression ends too early");
        const Token& token = t[at++];
        if (token.kind == Token::Number) return token.number;
        if (token.kind == Token::Word) return 0;
        if (token.text == "!") return !primary(t, at, where);
        if (token.text == "(") {
            long value = or_expression(t, at, where);
            if (at >= t.size() || t[at].text != ")") fail(where, "missing ) in #if");
            ++at;
            return value;
        }
        fail(where, "unexpected '" + token.text + "' in #if");
    }

    std::vector<std::string> include_dirs_;
    std::map<std::string, std::vector<Token>> macros_;
    std::vector<Token> tokens_;
};

}  // namespace

std::vector<Token> tokenize_script(const std::string& path, const std::vector<std::string>& include_dirs) {
    Preprocessor preprocessor(include_dirs);
    preprocessor.file(path, 0);
    return preprocessor.take();
}

std::vector<Token> tokenize_text(const std::string& text, const std::string& file_name) {
    return LineScanner(text, Location{std::make_shared<const std::string>(file_name), 1}).scan();
}

}  // namespace qorrc
