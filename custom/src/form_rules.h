// What the setup form and menu show for the printer at hand: each list's
// label, items, visibility and enabling, and which commands are enabled.
#pragma once

#include "setting_lists.h"

#include <string_view>
#include <vector>

namespace custom {

namespace command {
inline constexpr int kLoadPrinter = 1020;
inline constexpr int kDefaultD510x = 61204;
inline constexpr int kDefaultD610x = 105;
inline constexpr int kLoadFile = 57601;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kExit = 57665;
inline constexpr int kWrite = 32773;
inline constexpr int kTestPrint = 1030;
inline constexpr int kReset = 1028;
inline constexpr int kVersion = 57664;
}  // namespace command

struct ListView {
    std::string_view label;
    std::vector<std::string_view> items;
    bool visible = true;
    bool enabled = false;
};

// The list as the form shows it on a printer of `kind` under `mask` (all
// lists disabled while the mask is empty).
ListView list_view(List list, InterfaceKind kind, const SettingBytes& mask);
bool command_enabled(int id, bool acquired);

}  // namespace custom
