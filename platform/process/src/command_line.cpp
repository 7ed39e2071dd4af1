// Splitting a command line and finding its program.
#include "command_line.h"

#include "qor/support/paths.h"
#include "qor/support/places.h"

#include <cstdlib>
#include <unistd.h>

namespace qor::process {

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

// One argument from `at`: 2n backslashes before a quote give n and the quote
// toggles quoting; 2n+1 give n and a literal quote; "" inside quotes is a
// literal quote; other backslashes are literal.
std::string next_argument(const std::string& line, size_t& at) {
    std::string arg;
    bool quoted = false;
    while (at < line.size() && (quoted || !blank(line[at]))) {
        size_t slashes = 0;
        while (at < line.size() && line[at] == '\\') ++slashes, ++at;
        if (at < line.size() && line[at] == '"') {
            arg.append(slashes / 2, '\\');
            if (slashes % 2) {
                arg += '"';
            } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                arg += '"';
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
        } else {
            arg.append(slashes, '\\');
            if (at < line.size() && (quoted || !blank(line[at]))) arg += line[at++];
        }
    }
    return arg;
}

bool is_file(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string existing(const std::string& path) {
    std::string found = paths::find_existing(path);
    return is_file(found) ? found : std::string();
}

bool ends_with_exe(const std::string& name) {
    return name.size() > 4 && (name.compare(name.size() - 4, 4, ".exe") == 0 ||
                               name.compare(name.size() - 4, 4, ".EXE") == 0);
}

// The path itself, then without or with ".exe".
std::string with_extension_rules(const std::string& path) {
    if (std::string f = existing(path); !f.empty()) return f;
    return existing(ends_with_exe(path) ? path.substr(0, path.size() - 4) : path + ".exe");
}

}  // namespace

CommandLine parse_command_line(const std::string& line) {
    CommandLine result;
    size_t at = 0;
    while (at < line.size() && blank(line[at])) ++at;
    if (at < line.size() && line[at] == '"') {
        size_t end = line.find('"', at + 1);
        if (end == std::string::npos) end = line.size();
        result.program = line.substr(at + 1, end - at - 1);
        at = end < line.size() ? end + 1 : end;
    } else {
        size_t start = at;
        while (at < line.size() && !blank(line[at])) ++at;
        result.program = line.substr(start, at - start);
    }
    for (;;) {
        while (at < line.size() && blank(line[at])) ++at;
        if (at >= line.size()) break;
        result.args.push_back(next_argument(line, at));
    }
    return result;
}

std::string find_program(const std::string& program) {
    std::string name = paths::native(program);
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return with_extension_rules(name);
    std::vector<std::string> folders{paths::executable_folder(), ".", places::root() + "/system32"};
    if (const char* path = std::getenv("PATH")) {
        for (const std::string& f : paths::split_list(path, ':')) folders.push_back(f);
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        if (std::string f = with_extension_rules(folder + "/" + name); !f.empty()) return f;
    }
    return {};
}

}  // namespace qor::process
