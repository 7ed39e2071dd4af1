// The choice of the message a change deserves: pure functions of the
// snapshot, the last decision and the settings, so that every rule is
// tested without threads, registry or windows.
#pragma once

#include "qor/base.h"

namespace qor::statmon {

struct Masks {
    DWORD raised = 0;   // a bit here is announced when the condition sets in
    DWORD cleared = 0;  // a bit here is announced when it goes away
    bool operator==(const Masks&) const = default;
};

struct Decision {
    bool post = false;
    UINT message = 0;
    DWORD persistent = 0;
};

struct Decided {
    DWORD status = 0;
    DWORD control = 0;
};

// status: the monitor status word; settings_message: the message of this
// cycle's settings row; control: the Status block's control word.
Decision decide(DWORD status, UINT settings_message, DWORD control, Decided decided, const Masks& masks,
                bool popup_visible);

struct Reachability {
    DWORD status;
    bool decision_due;
};
// Folds the control word's no-connection bit into the status word: while
// idle an unreachable printer has no conditions, only "not connected".
Reachability apply_reachability(DWORD status, DWORD control, Decided decided);

}  // namespace qor::statmon
