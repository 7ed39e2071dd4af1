#include "command_line.h"

#include <cctype>

namespace qor::statmon {

namespace {

bool is_switch_at(std::string_view line, size_t i) {
    return line[i] == '/' && std::toupper(static_cast<unsigned char>(line[i + 1])) == 'P' && line[i + 2] == ':';
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::string> printer_from_command_line(std::string_view line) {
    for (size_t i = 0; i + 3 <= line.size(); ++i) {
        if (!is_switch_at(line, i)) continue;
        std::string_view rest = line.substr(i + 3);
        rest = rest.substr(0, rest.find('/'));
        const std::string_view name = trimmed(rest);
        if (name.empty() || name.size() >= kPrinterNameSize) return std::nullopt;
        return std::string(name);
    }
    return std::nullopt;
}

}  // namespace qor::statmon
