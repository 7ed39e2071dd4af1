#include "status.h"

namespace qoremu {

namespace {

struct Named {
    uint32_t condition;
    const char* name;
};

constexpr Named kNames[] = {
    {kOffline, "offline"},         {kPaperNearEnd, "paper-near-end"},
    {kPaperOut, "paper-out"},      {kCoverOpen, "cover-open"},
    {kPaperJam, "paper-jam"},      {kCutterError, "cutter-error"},
    {kAutoRecoveryError, "auto-recovery-error"}, {kFatalError, "fatal-error"},
};

}  // namespace

bool parse_condition(const std::string& name, uint32_t* condition) {
    for (const auto& n : kNames) {
        if (name == n.name) {
            *condition = n.condition;
            return true;
        }
    }
    if (name == "near-end") *condition = kPaperNearEnd;
    else if (name == "jam") *condition = kPaperJam;
    else if (name == "cover") *condition = kCoverOpen;
    else if (name == "all") *condition = kAllConditions;
    else return false;
    return true;
}

const char* condition_name(uint32_t condition) {
    for (const auto& n : kNames)
        if (n.condition == condition) return n.name;
    return "?";
}

uint8_t realtime_status(const StatusSnapshot& s, int n) {
    uint8_t b = 0x12;
    uint32_t c = s.conditions;
    switch (n) {
    case 1:
        if (c & kStopsPrinting) b |= 0x08;
        break;
    case 2:
        if (c & kCoverOpen) b |= 0x04;
        if (c & kPaperOut) b |= 0x20;
        if (c & kErrors) b |= 0x40;
        break;
    case 3:
        if (c & kPaperJam) b |= 0x04;
        if (c & kCutterError) b |= 0x08;
        if (c & kFatalError) b |= 0x20;
        if (c & kAutoRecoveryError) b |= 0x40;
        break;
    case 4:
        if (c & kPaperNearEnd) b |= 0x0C;
        if (c & kPaperOut) b |= 0x60;
        break;
    default:
        break;
    }
    return b;
}

std::array<uint8_t, 4> status_back(const StatusSnapshot& s) {
    uint32_t c = s.conditions;
    std::array<uint8_t, 4> b{0x10, 0, 0, 0};
    if (c & kStopsPrinting) b[0] |= 0x08;
    if (c & kCoverOpen) b[0] |= 0x20;
    if (c & kPaperJam) b[1] |= 0x04;
    if (c & kCutterError) b[1] |= 0x08;
    if (c & kFatalError) b[1] |= 0x20;
    if (c & kAutoRecoveryError) b[1] |= 0x40;
    if (c & kPaperNearEnd) b[2] |= 0x03;
    if (c & kPaperOut) b[2] |= 0x0C;
    if (s.printing) b[3] |= 0x01;
    if (s.presenting) b[3] |= 0x02;
    return b;
}

bool status_back_changed(const StatusSnapshot& a, const StatusSnapshot& b, uint8_t mask) {
    auto x = status_back(a), y = status_back(b);
    if ((mask & 0x02) && ((x[0] ^ y[0]) & 0x08)) return true;
    if ((mask & 0x04) && (((x[0] ^ y[0]) & 0x20) || x[1] != y[1])) return true;
    if ((mask & 0x08) && x[2] != y[2]) return true;
    if ((mask & 0x10) && x[3] != y[3]) return true;
    return false;
}

std::string device_id(Model model) {
    std::string name = model_name(model);
    std::string text = "MFG:QOR;CMD:ESC/POS;MDL:" + name + ";CLS:PRINTER;DES:QOR " + name + " Kiosk Printer;";
    size_t length = text.size() + 2;
    return std::string(1, char(length >> 8)) + std::string(1, char(length & 0xFF)) + text;
}

}  // namespace qoremu
