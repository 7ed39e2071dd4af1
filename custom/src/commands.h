// Every command the setup tool sends, byte for byte.
#pragma once

#include "common/setting_reply.h"

#include <string>
#include <string_view>
#include <vector>

namespace custom {

using qor::settings::SettingBytes;

// GS a 14, DC2 k, then the four setting bytes.
std::vector<BYTE> write_command(const SettingBytes& bytes);
// GS a 30, ESC @, DC2 t.
inline const std::vector<BYTE> kTestPrintCommand = {0x1D, 0x61, 0x1E, 0x1B, 0x40, 0x12, 0x74};
// GS a 14, DC2 40.
inline const std::vector<BYTE> kResetCommand = {0x1D, 0x61, 0x0E, 0x12, 0x40};
// DC2 q 0, sent as a raw spooler job to a printer that reports a status.
inline const std::vector<BYTE> kRecoveryJob = {0x12, 0x71, 0x00};
inline constexpr char kRecoveryDocument[] = "QOR ZEM-D F/W Update";
// Room the reply is read into; the exchange asks for kReadReplyLength.
inline constexpr size_t kReadArea = 64;

// `format` with its one %s replaced by `value`, which is taken as it is.
std::string with_text(std::string_view format, std::string_view value);

}  // namespace custom
