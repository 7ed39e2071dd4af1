// The 21 setting lists of the setup form: which bits of the four setting
// bytes each shows, with which items, and how selections and bytes are
// turned into each other under the mask of bits the tool may change.
#pragma once

#include "common/setting_reply.h"

#include <array>
#include <string_view>
#include <vector>

namespace custom {

using qor::settings::SettingBytes;

enum class InterfaceKind { None = 0, Serial = 1, Parallel = 2, Usb = 3 };

enum class List {
    HeadDrive, DriveSpeed, AutoCutter, Presenter, CharacterFont,
    PaperDischarge, PrintDensity, PrintSpeed, FontType, Driver, IoReset,
    PaperWidth, PaperType, PaperMark, AutoOnline,
    BusyCondition, BaudRate, BitLength, Parity, StopBit, DataControl,
};
inline constexpr int kListCount = 21;

struct ListInfo {
    List list;
    int control_id;           // the form's drop-down list
    std::string_view label;
    int byte;
    int shift;
    int width;                // bits
    std::vector<std::string_view> items;
};

// In the order of the bit layout, byte 0 bit 0 first.
const std::array<ListInfo, kListCount>& lists();
const ListInfo& info(List list);
// On a parallel printer the Baud rate and Bit length lists show these.
inline constexpr std::string_view kAutoLfLabel = "Auto LF";
inline constexpr std::string_view kStatusLabel = "Status";
const std::vector<std::string_view>& parallel_items();

// One per list: the item index, or -1 for none.
using Selections = std::array<int, kListCount>;
inline constexpr int kNone = -1;
Selections no_selections();
inline int& at(Selections& s, List list) { return s[static_cast<size_t>(list)]; }
inline int at(const Selections& s, List list) { return s[static_cast<size_t>(list)]; }

SettingBytes mask_for(bool acquired, InterfaceKind kind);

Selections bytes_to_selections(const SettingBytes& bytes, InterfaceKind kind);
// The bytes the selections make, keeping every bit outside the mask.
SettingBytes selections_to_bytes(const Selections& selections, const SettingBytes& bytes,
                                 const SettingBytes& mask, InterfaceKind kind);
// True when every list a write needs has a selection.
bool selections_complete(const Selections& selections);

enum class Model { D510x = 1, D610x = 2 };
SettingBytes model_defaults(Model model, const SettingBytes& bytes, const SettingBytes& mask, InterfaceKind kind);

// True when a list may be changed under the mask.
bool list_enabled(List list, const SettingBytes& mask, InterfaceKind kind);
// The five lists of the serial line.
bool is_serial_list(List list);

}  // namespace custom
