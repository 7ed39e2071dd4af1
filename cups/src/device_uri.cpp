#include "device_uri.h"

#include <cctype>

namespace qorcups {
namespace {

constexpr char kScheme[] = "qor://";

std::string Encode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Decode(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        out->push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

}  // namespace

std::string FormatDeviceUri(const DeviceUri& uri) {
    std::string text = kScheme + Encode(uri.printer);
    char separator = '?';
    if (!uri.root.empty()) {
        text += separator + std::string("root=") + Encode(uri.root);
        separator = '&';
    }
    if (!uri.runtime.empty()) text += separator + std::string("runtime=") + Encode(uri.runtime);
    return text;
}

std::optional<DeviceUri> ParseDeviceUri(const std::string& text) {
    const std::string scheme = kScheme;
    if (text.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
    const std::string rest = text.substr(scheme.size());
    const size_t query = rest.find('?');
    DeviceUri uri;
    if (!Decode(rest.substr(0, query), &uri.printer) || uri.printer.empty()) return std::nullopt;
    if (query == std::string::npos) return uri;
    size_t start = query + 1;
    while (start <= rest.size()) {
        size_t end = rest.find('&', start);
        if (end == std::string::npos) end = rest.size();
        const std::string pair = rest.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) return std::nullopt;
        const std::string key = pair.substr(0, equals);
        std::string* field = key == "root" ? &uri.root : key == "runtime" ? &uri.runtime : nullptr;
        if (!field || !Decode(pair.substr(equals + 1), field)) return std::nullopt;
        start = end + 1;
    }
    return uri;
}

}  // namespace qorcups
