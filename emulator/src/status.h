// The printer's conditions and the status bytes that report them
// (DLE EOT replies and automatic status back), bit for bit as
// docs/printer-protocol.md, section 1, says.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings.h"

namespace qoremu {

enum Condition : uint32_t {
    kOffline = 0x01,
    kPaperNearEnd = 0x02,
    kPaperOut = 0x04,
    kCoverOpen = 0x08,
    kPaperJam = 0x10,
    kCutterError = 0x20,
    kAutoRecoveryError = 0x40,
    kFatalError = 0x80,
};
constexpr uint32_t kAllConditions = 0xFF;
constexpr uint32_t kStopsPrinting = kAllConditions & ~uint32_t(kPaperNearEnd);
constexpr uint32_t kErrors = kPaperJam | kCutterError | kAutoRecoveryError | kFatalError;

// Control names: "paper-out", ... ; false for an unknown name.
bool parse_condition(const std::string& name, uint32_t* condition);
const char* condition_name(uint32_t condition);

struct StatusSnapshot {
    uint32_t conditions = 0;
    bool printing = false;
    bool presenting = false;
};

// Reply to DLE EOT n, n = 1..4.
uint8_t realtime_status(const StatusSnapshot& status, int n);
std::array<uint8_t, 4> status_back(const StatusSnapshot& status);
// True when a bit of a group enabled in `mask` (GS a) differs.
bool status_back_changed(const StatusSnapshot& a, const StatusSnapshot& b, uint8_t mask);

// The IEEE 1284 device ID with its 2-byte big-endian length in front.
std::string device_id(Model model);

}  // namespace qoremu
