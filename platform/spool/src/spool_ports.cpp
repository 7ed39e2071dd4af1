// Port names: classes, case rules, default devices and settings.
#include "qor/spool/ports.h"

#include <cctype>

namespace qor::ports {
namespace {

template <class Char>
Char upper(Char c) {
    return (c >= Char('a') && c <= Char('z')) ? Char(c - Char('a') + Char('A')) : c;
}

template <class Char>
bool starts_with_folded(std::basic_string_view<Char> text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != Char(prefix[i])) return false;
    return true;
}

struct Numbered {
    PortClass kind;
    std::string_view prefix;
};
constexpr Numbered kNumbered[] = {{PortClass::Serial, "COM"}, {PortClass::Parallel, "LPT"}, {PortClass::Usb, "USB"}};

// The class and number of a numbered port name, if it is one: a prefix,
// one to four digits, a number of at least 1, an optional ':'.
bool numbered(std::string_view name, PortClass& kind, unsigned& number) {
    for (const auto& n : kNumbered) {
        if (!starts_with_folded(name, n.prefix)) continue;
        std::string_view digits = name.substr(n.prefix.size());
        if (!digits.empty() && digits.back() == ':') digits.remove_suffix(1);
        if (digits.empty() || digits.size() > 4) return false;
        unsigned value = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            value = value * 10 + unsigned(c - '0');
        }
        if (value == 0) return false;
        kind = n.kind, number = value;
        return true;
    }
    return false;
}

}  // namespace

PortClass classify(std::string_view name) {
    PortClass kind;
    unsigned number;
    if (numbered(name, kind, number)) return kind;
    if (name.size() == 5 && starts_with_folded(name, "FILE:")) return PortClass::File;
    if (!name.empty() && name.front() == '/') return PortClass::Path;
    return PortClass::Other;
}

unsigned port_number(std::string_view name) {
    PortClass kind;
    unsigned number;
    return numbered(name, kind, number) ? number : 0;
}

std::string canonical_name(std::string_view name) {
    switch (classify(name)) {
    case PortClass::Serial:
    case PortClass::Parallel:
    case PortClass::Usb: {
        std::string out;
        for (char c : name)
            if (c != ':') out.push_back(upper(c));
        return out;
    }
    case PortClass::File: return "FILE:";
    case PortClass::Path:
    case PortClass::Other: break;
    }
    return std::string(name);
}

bool same_port(std::string_view a, std::string_view b) { return canonical_name(a) == canonical_name(b); }

std::string default_settings(std::string_view name) {
    return classify(name) == PortClass::Serial ? kDefaultSerialSettings : "";
}

std::string default_device(std::string_view name) {
    const std::string n = std::to_string(port_number(name) - 1);
    switch (classify(name)) {
    case PortClass::Serial: return "/dev/ttyS" + n;
    case PortClass::Parallel: return "/dev/lp" + n;
    case PortClass::Usb: return "/dev/usb/lp" + n;
    case PortClass::Path: return std::string(name);
    case PortClass::File:
    case PortClass::Other: break;
    }
    return {};
}

bool is_file_port(std::u16string_view name) { return name.size() >= 5 && starts_with_folded(name, "FILE"); }

bool is_serial_port(std::u16string_view name) { return name.size() >= 4 && starts_with_folded(name, "COM"); }

bool is_parallel_port(std::u16string_view name) {
    return name.size() >= 4 && starts_with_folded(name, "LPT") && name[3] >= u'1' && name[3] <= u'9';
}

}  // namespace qor::ports
