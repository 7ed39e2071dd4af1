#include "control.h"

#include <sstream>

#include "status.h"

namespace qoremu {

namespace {

const char* const kHelp[] = {
    "raise <condition>      offline paper-near-end paper-out cover-open paper-jam",
    "clear <condition>|all  cutter-error auto-recovery-error fatal-error",
    "take                   the customer takes the presented ticket",
    "silent on|off          send nothing to the host",
    "garbage <hex>          send these bytes to the host",
    "disconnect [ms]        drop the host; refuse it for ms milliseconds",
    "throttle <bps>         line speed 300..115200, 0 = no limit",
    "print-speed <mm/s>     engine speed 1..1000, 0 = no limit",
    "stats | tickets | settings | status | help | quit",
};

bool parse_int(const std::string& text, long low, long high, long* value) {
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string answer(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += line + "\n";
    return out + "ok\n";
}

std::string error(const std::string& why) { return "error " + why + "\n"; }

}  // namespace

bool parse_hex(const std::string& text, std::vector<uint8_t>* bytes) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') {
            if (high >= 0) return false;
            continue;
        }
        int d = hex_digit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(uint8_t(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0 || out.empty()) return false;
    *bytes = std::move(out);
    return true;
}

std::string execute_control(ControlTarget& target, const std::string& line) {
    std::istringstream in(line);
    std::string verb, argument, rest;
    in >> verb >> argument;
    std::getline(in, rest);
    if (verb.empty()) return error("empty command");
    if (verb == "raise" || verb == "clear") {
        uint32_t condition;
        if (!parse_condition(argument, &condition) || (verb == "raise" && condition == kAllConditions))
            return error("unknown condition '" + argument + "'");
        if (verb == "raise") target.raise_conditions(condition);
        else target.clear_conditions(condition);
        return answer({});
    }
    if (verb == "take") {
        target.take_ticket();
        return answer({});
    }
    if (verb == "silent") {
        if (argument != "on" && argument != "off") return error("silent on|off");
        target.set_silent(argument == "on");
        return answer({});
    }
    if (verb == "garbage") {
        std::vector<uint8_t> bytes;
        if (!parse_hex(argument + rest, &bytes)) return error("garbage wants hexadecimal bytes");
        target.send_garbage(bytes);
        return answer({});
    }
    if (verb == "disconnect") {
        long ms = 0;
        if (!argument.empty() && !parse_int(argument, 0, 600000, &ms)) return error("disconnect [0..600000 ms]");
        target.disconnect(int(ms));
        return answer({});
    }
    if (verb == "throttle") {
        long bps;
        if (!parse_int(argument, 0, 115200, &bps) || (bps != 0 && bps < 300))
            return error("throttle wants 0 or 300..115200 bps");
        target.set_line_speed(int(bps));
        return answer({});
    }
    if (verb == "print-speed") {
        long speed;
        if (!parse_int(argument, 0, 1000, &speed)) return error("print-speed wants 0..1000 mm/s");
        target.set_print_speed(int(speed));
        return answer({});
    }
    if (verb == "stats") return answer(target.stats());
    if (verb == "tickets") return answer(target.tickets());
    if (verb == "settings") return answer(target.settings());
    if (verb == "status") return answer(target.status());
    if (verb == "help") return answer(std::vector<std::string>(std::begin(kHelp), std::end(kHelp)));
    if (verb == "quit") {
        target.quit();
        return answer({});
    }
    return error("unknown command '" + verb + "' (try help)");
}

}  // namespace qoremu
