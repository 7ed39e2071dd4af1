// qorrc: writes the C++ source of a module's resource table (returned by
// the exported function QorResources) from binary files and string lists. CMake's
// qor_embed_resources() runs it; see qor/module.h for the formats.
//
//   qorrc -o <out.cpp> [--rcdata <id|name> <file>]...
//         [--resource <type> <id|name> <file>]... [--strings <file>]...
//         [--rc <script.rc>]... [-I <include dir>]...
#include "rc_script.h"
#include "rc_templates.h"
#include "qor/support/utf.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qorrc::Failure;
using qorrc::Key;
using qorrc::Resource;
using qorrc::parse_key;

bool parse_number(const std::string& text, unsigned long& value) {
    if (text.empty()) return false;
    size_t used = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == text.size();
}

// The whole file; false when it cannot be read.
bool read_all(const std::string& path, std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    content.clear();
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

std::vector<unsigned char> read_file(const std::string& path) {
    std::string content;
    if (!read_all(path, content)) throw Failure{"cannot read " + path};
    return std::vector<unsigned char>(content.begin(), content.end());
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char16_t parse_hex(const std::string& line, size_t& i, size_t digits) {
    unsigned value = 0;
    for (size_t k = 0; k < digits; ++k, ++i) {
        int v = i < line.size() ? hex_value(line[i]) : -1;
        if (v < 0) throw Failure{"bad \\x or \\u escape"};
        value = value * 16 + static_cast<unsigned>(v);
    }
    return static_cast<char16_t>(value);
}

// The quoted text starting at line[i] (just after the opening quote).
std::u16string parse_quoted(const std::string& line, size_t& i) {
    std::u16string text;
    while (true) {
        if (i >= line.size()) throw Failure{"missing closing quote"};
        char c = line[i];
        if (c == '"') {
            ++i;
            return text;
        }
        if (c == '\\') {
            if (++i >= line.size()) throw Failure{"escape at end of line"};
            char e = line[i++];
            switch (e) {
            case 'n': text.push_back(u'\n'); break;
            case 't': text.push_back(u'\t'); break;
            case 'r': text.push_back(u'\r'); break;
            case '\\': text.push_back(u'\\'); break;
            case '"': text.push_back(u'"'); break;
            case 'x': text.push_back(parse_hex(line, i, 2)); break;
            case 'u': text.push_back(parse_hex(line, i, 4)); break;
            default: throw Failure{std::string("unknown escape \\") + e};
            }
            continue;
        }
        auto bytes = reinterpret_cast<const unsigned char*>(line.data());
        qor::Utf8Step step = qor::decode_utf8(bytes + i, line.size() - i);
        if (!step.valid) throw Failure{"text is not UTF-8"};
        text += qor::utf8_to_utf16(line.substr(i, step.bytes));
        i += step.bytes;
    }
}

void read_strings(const std::string& path, std::map<uint32_t, std::u16string>& strings) {
    std::string content;
    if (!read_all(path, content)) throw Failure{"cannot read " + path};
    std::istringstream in(content);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        try {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t i = line.find_first_not_of(" \t");
            if (i == std::string::npos || line[i] == '#') continue;
            size_t end = line.find_first_of(" \t", i);
            unsigned long id = 0;
            if (end == std::string::npos || !parse_number(line.substr(i, end - i), id) || id > 0xFFFF)
                throw Failure{"expected: <id 0-65535> \"<text>\""};
            i = line.find_first_not_of(" \t", end);
            if (i == std::string::npos || line[i] != '"') throw Failure{"expected a quoted text"};
            ++i;
            std::u16string text = parse_quoted(line, i);
            if (line.find_first_not_of(" \t", i) != std::string::npos) throw Failure{"text after the closing quote"};
            if (text.size() > 0xFFFF) throw Failure{"string longer than 65535 units"};
            if (!strings.emplace(static_cast<uint32_t>(id), text).second)
                throw Failure{"string " + std::to_string(id) + " given twice"};
        } catch (const Failure& failure) {
            throw Failure{path + ":" + std::to_string(number) + ": " + failure.message};
        }
    }
}

std::string quoted_or_null(const std::string& name) { return name.empty() ? "nullptr" : "\"" + name + "\""; }

std::string generate(const std::vector<Resource>& resources) {
    std::ostringstream out;
    out << "// Generated by qorrc: the module's resources. Do not edit.\n"
        << "#include \"qor/module.h\"\n\nnamespace {\n";
    for (size_t r = 0; r < resources.size(); ++r) {
        const auto& data = resources[r].data;
        out << "alignas(8) const unsigned char resource_" << r << "[" << (data.empty() ? 1 : data.size()) << "] = {";
        for (size_t i = 0; i < data.size(); ++i) {
            if (i % 20 == 0) out << "\n   ";
            char byte[8];
            std::snprintf(byte, sizeof byte, " 0x%02x,", data[i]);
            out << byte;
        }
        out << "\n};\n";
    }
    out << "const QOR_RESOURCE entries[" << (resources.empty() ? 1 : resources.size()) << "] = {\n";
    for (size_t r = 0; r < resources.size(); ++r) {
        const auto& res = resources[r];
        out << "    {" << res.type.id << ", " << res.name.id << ", " << res.data.size() << ", "
            << quoted_or_null(res.type.name) << ", " << quoted_or_null(res.name.name) << ", resource_" << r << "},\n";
    }
    if (resources.empty()) out << "    {0, 0, 0, nullptr, nullptr, nullptr},\n";
    out << "};\nconst QOR_RESOURCE_TABLE table = {QOR_RESOURCE_MAGIC, QOR_RESOURCE_VERSION, " << resources.size()
        << ", entries};\n}  // namespace\n\n"
        << "extern \"C\" QORAPI const QOR_RESOURCE_TABLE* QorResources(void) { return &table; }\n";
    return out.str();
}

void write_if_changed(const std::string& path, const std::string& text) {
    std::string current;
    if (read_all(path, current) && current == text) return;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) throw Failure{"cannot write " + path};
}

void run(int argc, char** argv) {
    std::string output;
    qorrc::Output collected;
    std::vector<Resource>& resources = collected.resources;
    std::vector<std::string> scripts, include_dirs;
    auto need = [&](int i, int count) {
        if (i + count >= argc) throw Failure{std::string(argv[i]) + " needs " + std::to_string(count) + " arguments"};
    };
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "-o") {
            need(i, 1);
            output = argv[++i];
        } else if (option == "--rcdata") {
            need(i, 2);
            Resource resource{Key{10, {}}, parse_key(argv[i + 1], false), read_file(argv[i + 2])};
            resources.push_back(std::move(resource));
            i += 2;
        } else if (option == "--resource") {
            need(i, 3);
            Resource resource{parse_key(argv[i + 1], true), parse_key(argv[i + 2], false), read_file(argv[i + 3])};
            resources.push_back(std::move(resource));
            i += 3;
        } else if (option == "--strings") {
            need(i, 1);
            read_strings(argv[++i], collected.strings);
        } else if (option == "--rc") {
            need(i, 1);
            scripts.push_back(argv[++i]);
        } else if (option == "-I") {
            need(i, 1);
            include_dirs.push_back(argv[++i]);
        } else {
            throw Failure{"unknown option " + option +
                          "\nusage: qorrc -o <out.cpp> [--rcdata <id|name> <file>]... "
                          "[--resource <type> <id|name> <file>]... [--strings <file>]... [--rc <script.rc>]... [-I <dir>]..."};
        }
    }
    if (output.empty()) throw Failure{"no output file (-o)"};
    for (const std::string& script : scripts) qorrc::compile_script(script, include_dirs, collected);
    qorrc::add_string_blocks(collected);
    std::map<std::pair<Key, Key>, bool> seen;
    for (const auto& resource : resources) {
        if (resource.data.size() > 0xFFFFFFFFu) throw Failure{"resource larger than 4 GiB"};
        if (seen[{resource.type, resource.name}])
            throw Failure{"resource " + (resource.name.name.empty() ? std::to_string(resource.name.id) : resource.name.name) +
                          " given twice for its type"};
        seen[{resource.type, resource.name}] = true;
    }
    write_if_changed(output, generate(resources));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        run(argc, argv);
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "qorrc: %s\n", failure.message.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qorrc: %s\n", error.what());
    }
    return 1;
}
