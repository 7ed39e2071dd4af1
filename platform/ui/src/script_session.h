// The running program's side of the test seam: the script named by
// QOR_UI_SCRIPT, consumed in order by message boxes and file dialogs, and
// the log named by QOR_UI_LOG.
#pragma once

#include "ui_script.h"

namespace qorui {

bool scripted();
// The next scripted line, which must be of the shown kind and agree with
// it (for a box: caption, text and icon; for a file dialog: its title);
// anything else is reported on stderr and ends the process.
ScriptedBox expect(const ScriptedBox& shown);
void log_shown(const ScriptedBox& shown);
[[noreturn]] void fail(const std::string& why);

}  // namespace qorui
