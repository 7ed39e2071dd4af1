// The printer's four setting bytes (its DIP-switch settings): what the
// suite reads from them, how the printer reports them, and the factory
// values of each model.
#pragma once

#include "qor/base.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace qor::setbank {

using Bytes = std::array<BYTE, 4>;

// The character table of single-byte codes 80..FF (setting byte 0 bits 5-7).
enum class CharacterTable { Graphics, Katakana, Option, Space };

CharacterTable character_table(const Bytes& bytes);
// The roll's width in hundredths of a millimetre (setting byte 2 bits 0-2).
int paper_width_hundredths(const Bytes& bytes);
// The same in whole millimetres as the description files write them
// (76.2 mm is 76, 82.55 mm is 83).
int paper_width_mm(const Bytes& bytes);

// Finds the setting read reply (55, then eight bytes 00..0F, low nibble of
// byte 0 first) among other bytes the printer sent; the last complete one
// wins. Empty when there is none.
std::optional<Bytes> find_setting_reply(const BYTE* data, size_t size);

// The factory settings of the model an IEEE 1284 device ID names
// ("MDL:ZEM-D510x;"), with or without its two length bytes. Empty for
// another model or an ID that names none.
std::optional<Bytes> factory_settings(std::string_view device_id);

// Printer-data value of a printer holding its setting bytes as it reported
// them when it was added (REG_BINARY, 4 bytes).
inline constexpr char16_t kPrinterDataName[] = u"SETBANK";

}  // namespace qor::setbank
