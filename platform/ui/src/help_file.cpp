#include "help_file.h"

#include <string_view>

namespace qorui {
namespace {

std::optional<uint32_t> context_number(std::string_view digits) {
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

void finish(HelpTopic* topic) {
    if (!topic) return;
    while (!topic->text.empty() && topic->text.back() == '\n') topic->text.pop_back();
}

}  // namespace

std::optional<std::map<uint32_t, HelpTopic>> read_help_file(const char* data, size_t size) {
    if (!data || size > kHelpFileLimit) return std::nullopt;
    std::map<uint32_t, HelpTopic> topics;
    HelpTopic* open = nullptr;
    std::string_view rest(data, size);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line.front() == '#') continue;
        if (!line.empty() && line.front() == '@') {
            std::string_view head = line.substr(1);
            size_t space = head.find(' ');
            auto number = context_number(head.substr(0, space));
            if (!number || topics.count(*number)) return std::nullopt;
            finish(open);
            open = &topics[*number];
            open->title = space == std::string_view::npos ? std::string() : std::string(head.substr(space + 1));
            continue;
        }
        if (!open) continue;  // before the first topic
        if (!open->text.empty() || !line.empty()) {
            open->text.append(line);
            open->text.push_back('\n');
        }
    }
    finish(open);
    return topics;
}

}  // namespace qorui
