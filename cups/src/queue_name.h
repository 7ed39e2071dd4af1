// CUPS queue names for suite printers: CUPS takes printable characters
// other than space, '/', '\\', '#', '?' and quotes, at most 127 bytes.
#pragma once

#include <string>

namespace qorcups {

// "QOR ZEM-Dx10P" -> "QOR_ZEM-Dx10P"; empty when nothing printable is left.
std::string QueueName(const std::string& printer);

}  // namespace qorcups
