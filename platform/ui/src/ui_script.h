// The test seam's script of expected message boxes (see qor/ui/windows.h).
// Qt-free, so its parsing and matching are tested directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qorui {

struct ScriptedBox {
    std::string kind = "box";  // box, open / save for the file dialogs, menu
    std::string caption;       // for a menu: the item chosen, empty to dismiss
    std::string text;    // with real line breaks
    std::string icon;    // none, error, question, warning, information
    std::string button;  // ok, cancel, abort, retry, ignore, yes, no
};

// One box per line; '#' lines and blank lines are skipped. A file dialog
// is "@open|<title>|<path>" or "@save|<title>|<path>", an empty path
// meaning Cancel; its path is kept in `text`. nullopt (and
// `error` says which line) when a line lacks a field.
std::optional<std::vector<ScriptedBox>> parse_script(const std::string& text, std::string& error);
// The line a box is written as, in the log and in failure reports.
std::string format_box(const ScriptedBox& box);

// Names of a box's icon and buttons from its MB_* type.
std::string icon_name(unsigned type);
std::vector<std::string> button_names(unsigned type);
// The ID* result of a button name; 0 if unknown.
int button_result(const std::string& name);

}  // namespace qorui
