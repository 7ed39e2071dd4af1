#include "rc_script.h"

#include "rc_constants.h"
#include "rc_lexer.h"
#include "rc_templates.h"
#include "qor/support/utf.h"

#include <cstdio>
#include <functional>
#include <map>

namespace qorrc {
namespace {

constexpr uint32_t ws_popup = 0x80000000, ws_child = 0x40000000, ws_visible = 0x10000000, ws_border = 0x00800000,
                   ws_sysmenu = 0x00080000, ws_caption = 0x00C00000, ws_group = 0x00020000, ws_tabstop = 0x00010000;

const std::map<std::string, uint16_t> type_numbers = {
    {"CURSOR", 1},        {"BITMAP", 2},        {"ICON", 3},        {"MENU", 4},        {"DIALOG", 5},
    {"STRING", 6},        {"FONTDIR", 7},       {"FONT", 8},        {"ACCELERATOR", 9}, {"RCDATA", 10},
    {"MESSAGETABLE", 11}, {"GROUP_CURSOR", 12}, {"GROUP_ICON", 14}, {"VERSION", 16}};

std::string narrow(const std::u16string& text) { return qor::utf16_to_utf8(text.data(), text.size()); }

std::string upper(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

// The built-in control classes by their ordinal atoms.
const std::map<std::string, uint16_t> class_atoms = {{"BUTTON", 0x80},    {"EDIT", 0x81},      {"STATIC", 0x82},
                                                     {"LISTBOX", 0x83},   {"SCROLLBAR", 0x84}, {"COMBOBOX", 0x85}};

// The control statements other than CONTROL: class, the style bits added to
// WS_CHILD | WS_VISIBLE, and the fields they take.
struct ControlKind {
    uint16_t atom;
    uint32_t style;
    bool has_text;
    bool size_optional;  // ICON
};

const std::map<std::string, ControlKind> control_kinds = {
    {"LTEXT", {0x82, 0x0 | ws_group, true, false}},
    {"RTEXT", {0x82, 0x2 | ws_group, true, false}},
    {"CTEXT", {0x82, 0x1 | ws_group, true, false}},
    {"PUSHBUTTON", {0x80, 0x0 | ws_tabstop, true, false}},
    {"DEFPUSHBUTTON", {0x80, 0x1 | ws_tabstop, true, false}},
    {"CHECKBOX", {0x80, 0x2 | ws_tabstop, true, false}},
    {"AUTOCHECKBOX", {0x80, 0x3 | ws_tabstop, true, false}},
    {"RADIOBUTTON", {0x80, 0x4 | ws_tabstop, true, false}},
    {"AUTORADIOBUTTON", {0x80, 0x9 | ws_tabstop, true, false}},
    {"STATE3", {0x80, 0x5 | ws_tabstop, true, false}},
    {"AUTO3STATE", {0x80, 0x6 | ws_tabstop, true, false}},
    {"GROUPBOX", {0x80, 0x7, true, false}},
    {"EDITTEXT", {0x81, 0x0 | ws_border | ws_tabstop, false, false}},
    {"LISTBOX", {0x83, 0x1 | ws_border, false, false}},
    {"COMBOBOX", {0x85, 0x1 | ws_tabstop, false, false}},
    {"ICON", {0x82, 0x3, true, true}},
};

const char* const memory_options[] = {"LOADONCALL", "MOVEABLE", "DISCARDABLE", "PURE",     "IMPURE",
                                      "PRELOAD",    "FIXED",    "SHARED",      "NONSHARED"};

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string script, std::vector<std::string> include_dirs, Output& output)
        : t_(std::move(tokens)), script_(std::move(script)), include_dirs_(std::move(include_dirs)), out_(output) {}

    void run() {
        while (peek().kind != Token::End) statement();
    }

private:
    // ---- tokens ----
    const Token& peek(size_t ahead = 0) const { return t_[std::min(at_ + ahead, t_.size() - 1)]; }
    const Token& next() {
        const Token& token = peek();
        if (at_ < t_.size() - 1) ++at_;
        return token;
    }
    [[noreturn]] void fail(const Token& where, const std::string& message) const {
        throw Failure{where.where.describe() + ": " + message};
    }
    static std::string shown(const Token& token) {
        return token.kind == Token::String ? "\"" + narrow(token.string) + "\"" : token.text;
    }
    bool is_word(const Token& token, const char* word) const {
        return token.kind == Token::Word && upper(token.text) == word;
    }
    bool is_punct(const Token& token, const char* punct) const {
        return token.kind == Token::Punct && token.text == punct;
    }
    bool accept_punct(const char* punct) {
        if (!is_punct(peek(), punct)) return false;
        next();
        return true;
    }
    void comma() { accept_punct(","); }  // commas between required fields may be left out
    void expect_punct(const char* punct) {
        if (!accept_punct(punct)) fail(peek(), std::string("expected '") + punct + "', found " + shown(peek()));
    }
    bool at_begin() const { return is_word(peek(), "BEGIN") || is_punct(peek(), "{"); }
    bool at_end() const { return is_word(peek(), "END") || is_punct(peek(), "}"); }
    void expect_begin() {
        if (!at_begin()) fail(peek(), "expected BEGIN, found " + shown(peek()));
        next();
    }
    bool accept_end() {
        if (peek().kind == Token::End) fail(peek(), "missing END");
        if (!at_end()) return false;
        next();
        return true;
    }
    std::u16string string() {
        if (peek().kind != Token::String) fail(peek(), "expected a quoted text, found " + shown(peek()));
        std::u16string text = next().string;
        while (peek().kind == Token::String) text += next().string;  // adjacent texts join
        return text;
    }

    // Nesting (parentheses, popups, version blocks) is bounded so that no
    // script can exhaust the stack.
    class Nested {
    public:
        Nested(Parser& parser, const Token& where) : parser_(parser) {
            if (++parser_.depth_ > max_nesting) parser_.fail(where, "nested too deeply");
        }
        ~Nested() { --parser_.depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        Parser& parser_;
    };
    static constexpr int max_nesting = 64;

    // ---- numbers ----
    uint32_t primary() {
        Nested nested(*this, peek());
        const Token& token = next();
        if (token.kind == Token::Number) return token.number;
        if (token.kind == Token::Word && !is_word(token, "BEGIN") && !is_word(token, "END")) {
            if (auto value = named_constant(token.text)) return *value;
            fail(token, "unknown name " + token.text);
        }
        if (is_punct(token, "(")) {
            uint32_t value = number();
            expect_punct(")");
            return value;
        }
        if (is_punct(token, "-")) return 0u - primary();
        if (is_punct(token, "~")) return ~primary();
        fail(token, "expected a number, found " + shown(token));
    }
    // Left to right: + - * / & and |.
    uint32_t number(bool stop_at_pipe = false) {
        uint32_t value = primary();
        while (peek().kind == Token::Punct) {
            const std::string op = peek().text;
            if (op == "|" && stop_at_pipe) break;
            if (op != "+" && op != "-" && op != "*" && op != "/" && op != "&" && op != "|") break;
            const Token& where = next();
            uint32_t right = primary();
            if (op == "+") value += right;
            else if (op == "-") value -= right;
            else if (op == "*") value *= right;
            else if (op == "&") value &= right;
            else if (op == "|") value |= right;
            else if (right == 0) fail(where, "division by zero");
            else value /= right;
        }
        return value;
    }
    int16_t coordinate() {
        const Token& where = peek();
        auto value = static_cast<int32_t>(number());
        if (value < -32768 || value > 32767) fail(where, "coordinate out of range");
        return static_cast<int16_t>(value);
    }
    uint16_t word_number() {
        const Token& where = peek();
        uint32_t value = number();
        if (value > 0xFFFF) fail(where, "number larger than 16 bits");
        return static_cast<uint16_t>(value);
    }
    // "A | B | NOT C": bits added to (and NOT-ed bits taken from) `base`.
    uint32_t style(uint32_t base) {
        do {
            bool remove = false;
            if (is_word(peek(), "NOT")) {
                next();
                remove = true;
            }
            uint32_t bits = number(true);
            base = remove ? base & ~bits : base | bits;
        } while (accept_punct("|"));
        return base;
    }

    // ---- names ----
    Key resource_name(const Token& token) {
        if (token.kind == Token::Number) {
            if (token.number == 0 || token.number > 0xFFFF) fail(token, "resource number out of range (1 to 65535)");
            return Key{static_cast<uint16_t>(token.number), {}};
        }
        if (token.kind == Token::Word) {
            if (auto value = named_constant(token.text)) {  // VS_VERSION_INFO and the like
                if (*value == 0 || *value > 0xFFFF) fail(token, "resource number out of range (1 to 65535)");
                return Key{static_cast<uint16_t>(*value), {}};
            }
        }
        std::string text = token.kind == Token::String ? narrow(token.string) : token.text;
        try {
            return parse_key(text, false);
        } catch (const Failure& failure) {
            fail(token, failure.message);
        }
    }
    NameOrId name_or_id() {
        NameOrId value;
        const Token& token = peek();
        if (token.kind == Token::String) {
            value.text = string();
        } else if (token.kind == Token::Word && !named_constant(token.text)) {
            value.text = qor::utf8_to_utf16(next().text);
        } else {
            value.is_id = true;
            value.id = word_number();
        }
        return value;
    }
    std::string file_name() {
        const Token& token = next();
        std::string name;
        if (token.kind == Token::String) name = narrow(token.string);
        else if (token.kind == Token::Word) name = token.text;
        else fail(token, "expected a file name, found " + shown(token));
        std::vector<std::string> dirs;
        size_t slash = script_.rfind('/');
        dirs.push_back(slash == std::string::npos ? "." : script_.substr(0, slash));
        dirs.insert(dirs.end(), include_dirs_.begin(), include_dirs_.end());
        for (const std::string& dir : dirs) {
            std::string path = !name.empty() && name[0] == '/' ? name : dir + "/" + name;
            if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
                std::fclose(file);
                return path;
            }
        }
        fail(token, "cannot find " + name);
    }
    std::vector<unsigned char> file_content(const std::string& path) {
        std::vector<unsigned char> data;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) throw Failure{"cannot read " + path};
        unsigned char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
        std::fclose(file);
        return data;
    }
    void skip_memory_options() {
        while (peek().kind == Token::Word) {
            bool known = false;
            for (const char* option : memory_options) known = known || is_word(peek(), option);
            if (!known) return;
            next();
        }
    }

    void add(uint16_t type, const Key& name, std::vector<unsigned char> data) {
        out_.resources.push_back(Resource{Key{type, {}}, name, std::move(data)});
    }

    // ---- statements ----
    void statement() {
        const Token& first = next();
        if (is_word(first, "STRINGTABLE")) return string_table();
        if (is_word(first, "LANGUAGE")) {
            number();
            comma();
            number();
            return;
        }
        if (first.kind != Token::Word && first.kind != Token::Number && first.kind != Token::String)
            fail(first, "expected a resource, found " + shown(first));
        Key name = resource_name(first);
        const Token& type = next();
        if (type.kind != Token::Word && type.kind != Token::Number) fail(type, "expected a resource type after the name");
        std::string kind = type.kind == Token::Word ? upper(type.text) : "";
        skip_memory_options();
        if (kind == "DIALOG" || kind == "DIALOGEX") return add(rt_dialog, name, write_dialog(dialog(kind == "DIALOGEX")));
        if (kind == "MENU") return add(rt_menu, name, write_menu(menu_block()));
        if (kind == "ACCELERATORS") return add(rt_accelerator, name, write_accelerators(accelerators()));
        if (kind == "VERSIONINFO") return add(rt_version, name, write_version(version()));
        if (kind == "ICON") {
            std::string path = file_name();
            return add_icon(name, file_content(path), path, out_);
        }
        if (kind == "MENUEX" || kind == "DLGINIT" || kind == "TOOLBAR")
            fail(type, kind + " resources are not supported");
        Key type_key;
        if (type.kind == Token::Number) type_key = resource_name(type);
        else {
            try {
                type_key = parse_key(type.text, true);
            } catch (const Failure& failure) {
                fail(type, failure.message);
            }
        }
        std::vector<unsigned char> data = at_begin() ? raw_block() : file_content(file_name());
        out_.resources.push_back(Resource{type_key, name, std::move(data)});
    }

    void string_table() {
        while (!at_begin()) {
            if (peek().kind == Token::End) fail(peek(), "STRINGTABLE without BEGIN");
            next();  // memory options, LANGUAGE and the like
        }
        expect_begin();
        while (!accept_end()) {
            const Token& where = peek();
            uint32_t id = number();
            if (id > 0xFFFF) fail(where, "string id out of range (0 to 65535)");
            comma();
            std::u16string text = string();
            if (text.size() > 0xFFFF) fail(where, "string longer than 65535 units");
            if (!out_.strings.emplace(id, text).second) fail(where, "string " + std::to_string(id) + " given twice");
        }
    }

    Dialog dialog(bool extended) {
        Dialog d;
        d.extended = extended;
        d.x = coordinate();
        comma();
        d.y = coordinate();
        comma();
        d.cx = coordinate();
        comma();
        d.cy = coordinate();
        if (extended && accept_punct(",")) d.help_id = number();
        bool styled = false;
        uint32_t style = 0;
        while (!at_begin()) {
            const Token& option = next();
            std::string word = option.kind == Token::Word ? upper(option.text) : "";
            if (word == "CAPTION") d.caption = string();
            else if (word == "STYLE") {
                style = this->style(0);
                styled = true;
            } else if (word == "EXSTYLE") d.ex_style = this->style(0);
            else if (word == "FONT") {
                d.has_font = true;
                d.point_size = word_number();
                comma();
                d.face = string();
                if (extended && accept_punct(",")) {
                    d.weight = word_number();
                    if (accept_punct(",")) d.italic = static_cast<uint8_t>(number() != 0);
                    if (accept_punct(",")) d.charset = static_cast<uint8_t>(number());
                }
            } else if (word == "MENU") d.menu = name_or_id();
            else if (word == "CLASS") d.class_name = name_or_id();
            else if (word == "LANGUAGE") {
                number();
                comma();
                number();
            } else if (word == "CHARACTERISTICS" || word == "VERSION") number();
            else fail(option, "unknown dialog statement " + shown(option));
        }
        d.style = (styled ? style : ws_popup | ws_border | ws_sysmenu) | (d.caption.empty() ? 0 : ws_caption);
        expect_begin();
        while (!accept_end()) d.controls.push_back(control(extended));
        return d;
    }

    Control control(bool extended) {
        const Token& statement = next();
        std::string word = statement.kind == Token::Word ? upper(statement.text) : "";
        Control c;
        uint32_t base = ws_child | ws_visible;
        bool size_optional = false;
        if (word == "CONTROL") {
            c.text = name_or_id();
            comma();
            c.id = number();
            comma();
            const Token& cls = next();
            std::string name = cls.kind == Token::String ? narrow(cls.string) : cls.text;
            if (cls.kind != Token::String && cls.kind != Token::Word) fail(cls, "expected a control class");
            auto atom = class_atoms.find(upper(name));
            if (atom != class_atoms.end()) c.class_name = NameOrId{true, atom->second, {}};
            else c.class_name.text = qor::utf8_to_utf16(name);
            comma();
            base = style(base);
            comma();
        } else {
            auto kind = control_kinds.find(word);
            if (kind == control_kinds.end()) fail(statement, "unknown control statement " + shown(statement));
            c.class_name = NameOrId{true, kind->second.atom, {}};
            base |= kind->second.style;
            size_optional = kind->second.size_optional;
            if (kind->second.has_text) {
                c.text = name_or_id();
                comma();
            }
            c.id = number();
            comma();
        }
        c.x = coordinate();
        comma();
        c.y = coordinate();
        bool more = true;
        if (size_optional) more = accept_punct(",");
        else comma();
        if (more) {
            c.cx = coordinate();
            comma();
            c.cy = coordinate();
        }
        if (word != "CONTROL" && more && accept_punct(",")) base = style(base);
        if (more && accept_punct(",")) c.ex_style = style(0);
        if (extended && more && accept_punct(",")) c.help_id = number();
        c.style = base;
        if (!extended && c.id > 0xFFFF && c.id != 0xFFFFFFFF) fail(statement, "control id larger than 16 bits");
        if (at_begin()) fail(peek(), "control creation data is not supported");
        return c;
    }

    std::vector<MenuItem> menu_block() {
        Nested nested(*this, peek());
        std::vector<MenuItem> items;
        expect_begin();
        while (!accept_end()) {
            const Token& statement = next();
            MenuItem item;
            if (is_word(statement, "MENUITEM")) {
                if (is_word(peek(), "SEPARATOR")) {
                    next();
                    items.push_back(item);
                    continue;
                }
                item.text = string();
                comma();
                item.id = word_number();
                menu_options(item);
            } else if (is_word(statement, "POPUP")) {
                item.popup = true;
                item.text = string();
                menu_options(item);
                item.items = menu_block();
            } else {
                fail(statement, "expected MENUITEM or POPUP, found " + shown(statement));
            }
            items.push_back(std::move(item));
        }
        return items;
    }
    void menu_options(MenuItem& item) {
        static const std::map<std::string, uint16_t> options = {
            {"CHECKED", mf_checked},          {"GRAYED", mf_grayed},       {"INACTIVE", mf_disabled},
            {"MENUBARBREAK", mf_menubarbreak}, {"MENUBREAK", mf_menubreak}, {"HELP", mf_help}};
        while (true) {
            size_t mark = at_;
            bool had_comma = accept_punct(",");
            auto option = peek().kind == Token::Word ? options.find(upper(peek().text)) : options.end();
            if (option == options.end()) {
                if (had_comma) fail(peek(), "unknown menu option " + shown(peek()));
                at_ = mark;
                return;
            }
            next();
            item.flags |= option->second;
        }
    }

    std::vector<Accelerator> accelerators() {
        std::vector<Accelerator> table;
        expect_begin();
        while (!accept_end()) {
            const Token& event = peek();
            Accelerator a;
            std::u16string key_text;
            if (event.kind == Token::String) {
                key_text = next().string;
                if (key_text.size() == 2 && key_text[0] == u'^' && key_text[1] >= u'@' && key_text[1] <= u'_')
                    a.key = static_cast<uint16_t>(key_text[1] - u'@');
                else if (key_text.size() == 2 && key_text[0] == u'^' && key_text[1] >= u'a' && key_text[1] <= u'z')
                    a.key = static_cast<uint16_t>(key_text[1] - u'a' + 1);
                else if (key_text.size() == 1) a.key = key_text[0];
                else fail(event, "an accelerator key is one character or ^ and a letter");
            } else {
                a.key = word_number();
            }
            comma();
            a.id = word_number();
            while (accept_punct(",")) {
                const Token& option = next();
                std::string word = option.kind == Token::Word ? upper(option.text) : "";
                if (word == "VIRTKEY") a.flags |= fvirtkey;
                else if (word == "NOINVERT") a.flags |= fnoinvert;
                else if (word == "SHIFT") a.flags |= fshift;
                else if (word == "CONTROL") a.flags |= fcontrol;
                else if (word == "ALT") a.flags |= falt;
                else if (word != "ASCII") fail(option, "unknown accelerator option " + shown(option));
            }
            if ((a.flags & fvirtkey) && key_text.size() == 1 && a.key >= u'a' && a.key <= u'z')
                a.key = static_cast<uint16_t>(a.key - u'a' + u'A');
            if ((a.flags & (fshift | fcontrol | falt)) && !(a.flags & fvirtkey))
                fail(event, "SHIFT, CONTROL and ALT need a VIRTKEY accelerator");
            table.push_back(a);
        }
        if (table.empty()) fail(peek(), "empty accelerator table");
        return table;
    }

    Version version() {
        Version v;
        while (!at_begin()) {
            const Token& statement = next();
            std::string word = statement.kind == Token::Word ? upper(statement.text) : "";
            if (word == "FILEVERSION" || word == "PRODUCTVERSION") {
                uint32_t parts[4] = {0, 0, 0, 0};
                for (int k = 0; k < 4; ++k) {
                    if (k > 0 && !accept_punct(",")) break;
                    parts[k] = word_number();
                }
                uint32_t* target = word == "FILEVERSION" ? v.file_version : v.product_version;
                target[0] = parts[0] << 16 | parts[1];
                target[1] = parts[2] << 16 | parts[3];
            } else if (word == "FILEFLAGSMASK") v.flags_mask = number();
            else if (word == "FILEFLAGS") v.flags = number();
            else if (word == "FILEOS") v.os = number();
            else if (word == "FILETYPE") v.type = number();
            else if (word == "FILESUBTYPE") v.subtype = number();
            else fail(statement, "unknown version statement " + shown(statement));
        }
        v.children = version_block();
        return v;
    }
    std::vector<VersionNode> version_block() {
        Nested nested(*this, peek());
        std::vector<VersionNode> nodes;
        expect_begin();
        while (!accept_end()) {
            const Token& statement = next();
            VersionNode n;
            if (is_word(statement, "BLOCK")) {
                n.is_block = true;
                n.key = string();
                n.children = version_block();
            } else if (is_word(statement, "VALUE")) {
                n.key = string();
                while (accept_punct(",")) {
                    if (peek().kind == Token::String) {
                        n.is_text = true;
                        n.text += string();
                    } else {
                        bool is_long = peek().kind == Token::Number && peek().long_number;
                        uint32_t value = number();
                        Bytes bytes;
                        if (is_long) bytes.u32(value);
                        else bytes.u16(static_cast<uint16_t>(value));
                        n.binary.insert(n.binary.end(), bytes.data().begin(), bytes.data().end());
                    }
                }
                if (n.is_text && !n.binary.empty()) fail(statement, "a VALUE holds texts or numbers, not both");
                while (!n.text.empty() && n.text.back() == u'\0') n.text.pop_back();  // the writer terminates it
            } else {
                fail(statement, "expected BLOCK or VALUE, found " + shown(statement));
            }
            nodes.push_back(std::move(n));
        }
        return nodes;
    }

    // RCDATA-style blocks: texts as UTF-8 bytes, numbers as 16 bits (32 with L).
    std::vector<unsigned char> raw_block() {
        expect_begin();
        Bytes bytes;
        while (!accept_end()) {
            if (peek().kind == Token::String) {
                for (char c : narrow(next().string)) bytes.u8(static_cast<uint8_t>(c));
            } else {
                bool is_long = peek().kind == Token::Number && peek().long_number;
                uint32_t value = number();
                if (is_long) bytes.u32(value);
                else bytes.u16(static_cast<uint16_t>(value));
            }
            comma();
        }
        return std::move(bytes.data());
    }

    std::vector<Token> t_;
    size_t at_ = 0;
    int depth_ = 0;
    std::string script_;
    std::vector<std::string> include_dirs_;
    Output& out_;
};

}  // namespace

Key parse_key(const std::string& text, bool is_type) {
    Key key;
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        size_t used = 0;
        unsigned long number = 0;
        try {
            number = std::stoul(text, &used, 0);
        } catch (...) {
            used = 0;
        }
        if (used != text.size() || number == 0 || number > 0xFFFF)
            throw Failure{"bad resource number '" + text + "' (1 to 65535)"};
        key.id = static_cast<uint16_t>(number);
        return key;
    }
    if (text.empty()) throw Failure{"empty resource name"};
    for (char c : text) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) throw Failure{"bad resource name '" + text + "' (letters, digits, _)"};
    }
    key.name = upper(text);
    if (is_type) {
        auto known = type_numbers.find(key.name);
        if (known != type_numbers.end()) return Key{known->second, {}};
    }
    return key;
}

void compile_script(const std::string& path, const std::vector<std::string>& include_dirs, Output& output) {
    Parser(tokenize_script(path, include_dirs), path, include_dirs, output).run();
}

}  // namespace qorrc
