#include "qor/spool/serial_settings.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace qor::spool {
namespace {

struct Speed {
    unsigned baud;
    speed_t code;
};
constexpr Speed kSpeeds[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ',')) {
        size_t b = part.find_first_not_of(" \t"), e = part.find_last_not_of(" \t");
        parts.push_back(b == std::string::npos ? std::string() : part.substr(b, e - b + 1));
    }
    return parts;
}

bool parse_unsigned(const std::string& s, unsigned& out) {
    if (s.empty() || s.size() > 8) return false;
    out = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        out = out * 10 + unsigned(c - '0');
    }
    return true;
}

}  // namespace

std::optional<SerialSettings> parse_serial_settings(const std::string& text) {
    auto parts = split(text);
    if (parts.size() < 4 || parts.size() > 5) return std::nullopt;
    SerialSettings s;
    if (!parse_unsigned(parts[0], s.baud)) return std::nullopt;
    bool known = false;
    for (const auto& sp : kSpeeds) known |= sp.baud == s.baud;
    if (!known) return std::nullopt;
    if (parts[1].size() != 1) return std::nullopt;
    switch (std::tolower(static_cast<unsigned char>(parts[1][0]))) {
    case 'n': s.parity = Parity::None; break;
    case 'o': s.parity = Parity::Odd; break;
    case 'e': s.parity = Parity::Even; break;
    case 'm': s.parity = Parity::Mark; break;
    case 's': s.parity = Parity::Space; break;
    default: return std::nullopt;
    }
    if (!parse_unsigned(parts[2], s.data_bits) || s.data_bits < 5 || s.data_bits > 8) return std::nullopt;
    if (parts[3] == "1") s.stop_bits = 1;
    else if (parts[3] == "2" || parts[3] == "1.5") s.stop_bits = 2;
    else return std::nullopt;
    if (parts.size() == 5) {
        if (parts[4].empty()) s.flow = FlowControl::None;
        else if (parts[4] == "x" || parts[4] == "X") s.flow = FlowControl::XonXoff;
        else if (parts[4] == "p" || parts[4] == "P") s.flow = FlowControl::Hardware;
        else return std::nullopt;
    }
    return s;
}

std::string format_serial_settings(const SerialSettings& s) {
    static const char kParity[] = {'n', 'o', 'e', 'm', 's'};
    std::string out = std::to_string(s.baud) + "," + kParity[static_cast<int>(s.parity)] + "," +
                      std::to_string(s.data_bits) + "," + std::to_string(s.stop_bits);
    if (s.flow == FlowControl::XonXoff) out += ",x";
    if (s.flow == FlowControl::Hardware) out += ",p";
    return out;
}

bool apply_serial_settings(const SerialSettings& s, termios& tio) {
    speed_t code = 0;
    bool found = false;
    for (const auto& sp : kSpeeds)
        if (sp.baud == s.baud) code = sp.code, found = true;
    if (!found) return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[s.data_bits - 5];
    switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: tio.c_cflag |= PARENB; break;
    case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (s.stop_bits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.flow == FlowControl::XonXoff) tio.c_iflag |= IXON | IXOFF;
    if (s.flow == FlowControl::Hardware) tio.c_cflag |= CRTSCTS;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return true;
}

}  // namespace qor::spool
