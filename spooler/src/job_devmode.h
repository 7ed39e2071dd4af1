// A job's device mode as clients hand it in: checked before the service
// keeps it, so what a driver is later given is a whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qor::spooler {

// Empty (no device mode), or a wide record whose public part reaches at
// least its field mask and whose sizes add up to exactly `bytes`.
bool devmode_acceptable(const std::vector<uint8_t>& bytes);

}  // namespace qor::spooler
