// Output for people and for scripts: a table whose columns fit their
// widest cell, and JSON text.
#pragma once

#include "qor/support/json.h"

#include <string>
#include <vector>

namespace qorctl {

class Table {
public:
    explicit Table(std::vector<std::string> headings);
    void add(std::vector<std::string> row);
    // Every column padded to its widest cell, two spaces apart; the last
    // column unpadded.
    std::string text() const;

private:
    std::vector<std::vector<std::string>> rows_;
};

// ["a", "b"]
std::string json_strings(const std::vector<std::string>& items);

// One JSON object, written member by member.
class JsonObject {
public:
    JsonObject& text(const char* key, const std::string& value);
    JsonObject& number(const char* key, unsigned long long value);
    // `json` is already JSON (an array or another object).
    JsonObject& raw(const char* key, const std::string& json);
    std::string str() const { return "{" + members_ + "}"; }

private:
    std::string members_;
};

// [a, b] from already formed JSON values, one per line.
std::string json_array(const std::vector<std::string>& values);

}  // namespace qorctl
