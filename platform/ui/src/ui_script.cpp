#include "ui_script.h"

#include "qor/ui/windows.h"

#include <sstream>

namespace qorui {
namespace {

std::string unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c != '\r') out += c;
    }
    return out;
}

}  // namespace

std::optional<std::vector<ScriptedBox>> parse_script(const std::string& text, std::string& error) {
    std::vector<ScriptedBox> boxes;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        size_t start = 0;
        if (line.rfind("@menu|", 0) == 0) {
            boxes.push_back({"menu", line.substr(6), "", "", ""});
            continue;
        }
        if (line.rfind("@open|", 0) == 0 || line.rfind("@save|", 0) == 0) {
            size_t bar = line.find('|', 6);
            if (bar == std::string::npos) {
                error = "line " + std::to_string(number) + ": want @open|<title>|<path>";
                return std::nullopt;
            }
            boxes.push_back({line.substr(1, 4), unescape(line.substr(6, bar - 6)), line.substr(bar + 1), "", ""});
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            size_t bar = line.find('|', start);
            if (bar == std::string::npos) break;
            fields.push_back(line.substr(start, bar - start));
            start = bar + 1;
        }
        fields.push_back(line.substr(start));
        if (fields.size() != 4 || button_result(fields[3]) == 0) {
            error = "line " + std::to_string(number) + ": want <caption>|<text>|<icon>|<button>";
            return std::nullopt;
        }
        boxes.push_back({"box", unescape(fields[0]), unescape(fields[1]), fields[2], fields[3]});
    }
    return boxes;
}

std::string format_box(const ScriptedBox& box) {
    if (box.kind == "menu") return "@menu|" + box.caption;
    if (box.kind != "box") return "@" + box.kind + "|" + escape(box.caption) + "|" + box.text;
    return escape(box.caption) + "|" + escape(box.text) + "|" + box.icon + "|" + box.button;
}

std::string icon_name(unsigned type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONASTERISK: return "information";
    default: return "none";
    }
}

std::vector<std::string> button_names(unsigned type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {"ok", "cancel"};
    case MB_ABORTRETRYIGNORE: return {"abort", "retry", "ignore"};
    case MB_YESNOCANCEL: return {"yes", "no", "cancel"};
    case MB_YESNO: return {"yes", "no"};
    case MB_RETRYCANCEL: return {"retry", "cancel"};
    default: return {"ok"};
    }
}

int button_result(const std::string& name) {
    static const std::pair<const char*, int> kButtons[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},
                                                           {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                                                           {"no", IDNO}};
    for (auto& [button, result] : kButtons)
        if (name == button) return result;
    return 0;
}

}  // namespace qorui
