// What the worker needs from the window side: a place to post its
// notifications, and whether the pop-up box is on screen. Both are called
// from the worker thread.
#pragma once

#include "qor/base.h"

namespace qor::statmon {

class MonitorView {
public:
    virtual ~MonitorView() = default;
    // Posts WM_PSM_NOTIFY: the message id (0 = none) and the persistent flag.
    virtual void post_notify(UINT message, DWORD persistent) = 0;
    virtual bool popup_visible() const = 0;
};

}  // namespace qor::statmon
