#include "output.h"

#include <algorithm>
#include <cstdio>

namespace qorctl {

Table::Table(std::vector<std::string> headings) { rows_.push_back(std::move(headings)); }

void Table::add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

std::string Table::text() const {
    std::vector<size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string out;
    for (const auto& row : rows_) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

std::string json_strings(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + qor::json_string(items[i]);
    return out + "]";
}

JsonObject& JsonObject::raw(const char* key, const std::string& json) {
    members_ += (members_.empty() ? "" : ", ") + qor::json_string(key) + ": " + json;
    return *this;
}

JsonObject& JsonObject::text(const char* key, const std::string& value) { return raw(key, qor::json_string(value)); }

JsonObject& JsonObject::number(const char* key, unsigned long long value) { return raw(key, std::to_string(value)); }

std::string json_array(const std::vector<std::string>& values) {
    if (values.empty()) return "[]";
    std::string out = "[\n";
    for (size_t i = 0; i < values.size(); ++i) out += "  " + values[i] + (i + 1 < values.size() ? ",\n" : "\n");
    return out + "]";
}

}  // namespace qorctl
