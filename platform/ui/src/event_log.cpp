// A program's own lines in the test seam's log, beside the boxes and the
// tray changes the layer writes there.
#include "script_session.h"

extern "C" void QorUiLogEvent(const char* kind, const char* what, const char* text) {
    if (!kind || !*kind) return;
    qorui::log_shown(qorui::ScriptedBox{kind, what ? what : "", text ? text : "", "", ""});
}
