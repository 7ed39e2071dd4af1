#include "setting_lists.h"

namespace custom {

namespace {

const std::vector<std::string_view> kDisableEnable = {"Disable", "Enable"};

std::array<ListInfo, kListCount> make_lists() {
    return {{
        {List::HeadDrive, 1016, "Head drive", 0, 0, 1, {"Dynamic div", "Fix div"}},
        {List::DriveSpeed, 1017, "Drive speed", 0, 1, 2,
         {"128dots / 5blocks", "192dots / 5blocks", "256dots / 3blocks", "320dots / 3blocks"}},
        {List::AutoCutter, 1018, "Auto cutter", 0, 3, 1, kDisableEnable},
        {List::Presenter, 1019, "Presenter", 0, 4, 1, kDisableEnable},
        {List::CharacterFont, 1014, "Character font", 0, 5, 3,
         {"Graphics", "Katakana", "Option", "Option", "Option", "Option", "Option", "Space"}},
        {List::PaperDischarge, 1000, "Paper discharge", 1, 0, 1, {"Downward", "Upward"}},
        {List::PrintDensity, 1001, "Print density", 1, 1, 3,
         {" 70%", " 80%", " 90%", "100%", "110%", "120%", "130%", "140%"}},
        {List::PrintSpeed, 1003, "Print speed", 1, 4, 1, {"High", "Low"}},
        {List::FontType, 1005, "Font type", 1, 5, 1, {"Standard", "Gothic"}},
        {List::Driver, 1004, "Driver", 1, 6, 1, {"Other", "QOR"}},
        {List::IoReset, 1015, "I/O Reset", 1, 7, 1, kDisableEnable},
        {List::PaperWidth, 1006, "Paper width", 2, 0, 3,
         {"58 mm     (2.3 inch)", "60.00 mm  (2.4 inch)", "66.00 mm  (2.6 inch)", "76.20 mm  (3.0 inch)",
          "80.00 mm  (3.1 inch)", "82.55 mm  (3.3 inch)", "112.00 mm  (4.4 inch)"}},
        {List::PaperType, 1008, "Paper type", 2, 3, 3,
         {"TF50KS-E2D", "AFP235", "PD160R-N", "TO-381N", "TC98KS-T1", "TC11KS-T1TC11KS-T1", "TL69KS-HG76"}},
        {List::PaperMark, 1009, "Paper mark", 2, 6, 1, {"Non mark", "Mark"}},
        {List::AutoOnline, 1020, "Auto online", 2, 7, 1, kDisableEnable},
        {List::BusyCondition, 1011, "Busy condition", 3, 0, 1, {"Full", "Full / Offline"}},
        // The fifth, empty item is part of the list as the form fills it.
        {List::BaudRate, 1012, "Baud rate", 3, 1, 2, {"38400 bps", "19200 bps", "9600 bps", "4800 bps", ""}},
        {List::BitLength, 1002, "Bit length", 3, 3, 1, {"7bit", "8bit"}},
        {List::Parity, 1007, "Parity", 3, 4, 2, {"None", "Odd", "None", "Even"}},
        {List::StopBit, 1010, "Stop bit", 3, 6, 1, {"2bit", "1bit"}},
        {List::DataControl, 1013, "Data control", 3, 7, 1, {"XON/XOFF", "BUSY"}},
    }};
}

int field(const SettingBytes& bytes, int byte, int shift, int width) {
    return (bytes[size_t(byte)] >> shift) & ((1 << width) - 1);
}

// Cut to the width: no selection (-1) gives all ones, so a paper type
// without an item (111) is saved as it was read.
BYTE field_bits(int value, int shift, int width) { return BYTE((value & ((1 << width) - 1)) << shift); }

constexpr int kAutoLfBit = 1;
constexpr int kStatusBit = 2;

}  // namespace

const std::array<ListInfo, kListCount>& lists() {
    static const std::array<ListInfo, kListCount> all = make_lists();
    return all;
}

const ListInfo& info(List list) { return lists()[static_cast<size_t>(list)]; }

const std::vector<std::string_view>& parallel_items() { return kDisableEnable; }

Selections no_selections() {
    Selections s;
    s.fill(kNone);
    return s;
}

bool is_serial_list(List list) {
    return list == List::BaudRate || list == List::BitLength || list == List::Parity || list == List::StopBit ||
           list == List::DataControl;
}

SettingBytes mask_for(bool acquired, InterfaceKind kind) {
    if (!acquired) return {0, 0, 0, 0};
    switch (kind) {
    case InterfaceKind::Serial: return {0xF8, 0xFF, 0xFF, 0x01};
    case InterfaceKind::Parallel:
    case InterfaceKind::Usb: return {0xF8, 0xFF, 0xFF, 0x07};
    case InterfaceKind::None: break;
    }
    return {0, 0, 0, 0};
}

Selections bytes_to_selections(const SettingBytes& bytes, InterfaceKind kind) {
    Selections s = no_selections();
    for (const ListInfo& l : lists()) at(s, l.list) = field(bytes, l.byte, l.shift, l.width);
    if (at(s, List::PaperWidth) == 7) at(s, List::PaperWidth) = 6;
    if (at(s, List::PaperType) == 7) at(s, List::PaperType) = kNone;
    if (kind == InterfaceKind::Parallel) {
        at(s, List::BaudRate) = field(bytes, 3, kAutoLfBit, 1);
        at(s, List::BitLength) = field(bytes, 3, kStatusBit, 1);
    }
    return s;
}

SettingBytes selections_to_bytes(const Selections& selections, const SettingBytes& bytes, const SettingBytes& mask,
                                 InterfaceKind kind) {
    Selections s = selections;
    if (at(s, List::PaperWidth) > 6) at(s, List::PaperWidth) = 6;
    if (at(s, List::PaperType) > 7) at(s, List::PaperType) = 7;
    SettingBytes candidate{0, 0, 0, 0};
    for (const ListInfo& l : lists()) {
        if (l.list == List::BaudRate && kind == InterfaceKind::Parallel) continue;
        candidate[size_t(l.byte)] |= field_bits(at(s, l.list), l.shift, l.width);
    }
    if (kind == InterfaceKind::Parallel) {
        candidate[3] |= field_bits(at(s, List::BaudRate), kAutoLfBit, 1);
        candidate[3] |= field_bits(at(s, List::BitLength), kStatusBit, 1);
    }
    SettingBytes out{};
    for (size_t k = 0; k < out.size(); ++k) out[k] = BYTE((bytes[k] & ~mask[k]) | (candidate[k] & mask[k]));
    return out;
}

bool selections_complete(const Selections& s) {
    static constexpr List kRequired[] = {
        List::PaperDischarge, List::PaperMark, List::AutoOnline, List::StopBit, List::BusyCondition, List::BaudRate,
        List::DataControl, List::PrintDensity, List::BitLength, List::PrintSpeed, List::Driver, List::FontType,
        List::PaperWidth, List::Parity, List::PaperType, List::IoReset, List::CharacterFont};
    for (List l : kRequired)
        if (at(s, l) == kNone) return false;
    return true;
}

SettingBytes model_defaults(Model model, const SettingBytes& bytes, const SettingBytes& mask, InterfaceKind kind) {
    SettingBytes set{0x18, 0x07, 0x00, 0x00};
    if (kind == InterfaceKind::Parallel) {
        set[1] |= 0x80;
        set[3] |= 1 << kAutoLfBit;
    } else {
        set[3] |= 0xC8;
    }
    if (model == Model::D610x) set[2] |= 0x06;
    SettingBytes out{};
    for (size_t k = 0; k < out.size(); ++k) out[k] = BYTE((bytes[k] & ~mask[k]) | (set[k] & mask[k]));
    return out;
}

bool list_enabled(List list, const SettingBytes& mask, InterfaceKind kind) {
    if (kind == InterfaceKind::Parallel && list == List::BaudRate) return mask[3] & (1 << kAutoLfBit);
    if (kind == InterfaceKind::Parallel && list == List::BitLength) return mask[3] & (1 << kStatusBit);
    const ListInfo& l = info(list);
    return (mask[size_t(l.byte)] & field_bits(0xFF, l.shift, l.width)) != 0;
}

}  // namespace custom
