// The worker thread: waits in its 200 ms cycle for the stop, a change of
// the settings key or a change of the printer's two-way attribute, takes a
// snapshot of the Status block, composes the monitor's own bits and posts
// what the decision chooses.
#include "monitor_app.h"

#include "common/status.h"
#include "notify_table.h"

#include "qor/kernel.h"
#include "qor/registry.h"

namespace qor::statmon {

namespace {

constexpr DWORD kWatchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

void arm_change_signal(HKEY key, HANDLE event) {
    if (key) RegNotifyChangeKeyValue(key, FALSE, kWatchedChanges, event, TRUE);
}

// The settings message of a re-check that calls for one, or 0.
UINT settings_message(const Recheck& recheck) {
    if (!recheck.ok) return kMessageSetupFailed;
    return recheck.changed ? kMessageSetupChanged : 0;
}

}  // namespace

DWORD CStatusMonitorApp::run_worker(MonitorView* view) {
    if (!view || !watcher_) return kWorkerNoHost;
    HANDLE stop = CreateEventA(nullptr, FALSE, FALSE, names::kMonitorExitThreadEvent);
    HANDLE registry_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) key = nullptr;
    if (registry_event) arm_change_signal(key, registry_event);
    if (stop) publish_stop_event(stop);
    HANDLE bidi = CreateEventA(nullptr, FALSE, FALSE, names::kMonitorChangeBidiEvent);
    {
        std::lock_guard guard(lock_);
        bidi_event_ = bidi;
    }
    bool attached = watcher_->attach();
    if (!attached) {
        // The spooler sets a printer's language monitor up on first use; a
        // monitor started before any job would otherwise find no block.
        directory_.wake_monitor(printer_name());
        attached = watcher_->attach();
    }

    DWORD exit_code = kWorkerSetupFailed;
    if (stop && registry_event && bidi && attached) {
        try {
            exit_code = watch(*view, key, registry_event);
        } catch (...) {
            exit_code = kWorkerFault;
        }
    }

    if (key) RegCloseKey(key);
    watcher_->detach();
    {
        std::lock_guard guard(lock_);
        bidi_event_ = nullptr;
    }
    if (bidi) CloseHandle(bidi);
    if (registry_event) CloseHandle(registry_event);
    withdraw_stop_event();
    return exit_code;
}

DWORD CStatusMonitorApp::with_bidi_bit(DWORD status) const {
    return bidi_enabled() ? status & ~kBidiUnavailable : status | kBidiUnavailable;
}

DWORD CStatusMonitorApp::watch(MonitorView& view, HKEY key, HANDLE registry_event) {
    CStatusWatcher& watcher = *watcher_;
    HANDLE stop = nullptr;
    HANDLE bidi = nullptr;
    {
        std::lock_guard guard(lock_);
        stop = stop_event_;
        bidi = bidi_event_;
    }
    const HANDLE events[] = {stop, registry_event, bidi};
    DWORD status = 0;
    DWORD control = 0;
    UINT message = 0;
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(3, events, FALSE, kCycleMs);
        bool due = false;
        if (woke == WAIT_OBJECT_0 + 1) {
            // A condition that changed in the same cycle is still decided
            // on, not dropped for a settings signal that changed nothing.
            due = watcher.snapshot(false, status, control);
            const Recheck recheck = watcher.settings().recheck(false);
            if (const UINT chosen = settings_message(recheck)) {
                status |= kSettingsReread;
                message = chosen;
                due = true;
            }
            arm_change_signal(key, registry_event);
        } else if (woke == WAIT_OBJECT_0 + 2) {
            due = watcher.snapshot(true, status, control);
        } else if (woke == WAIT_TIMEOUT || woke == WAIT_ABANDONED_0) {
            due = watcher.snapshot(false, status, control);
        } else {
            break;
        }

        if (win95_) {
            // No change signals on this system: the settings are polled.
            const Recheck recheck = watcher.settings().recheck(true);
            if (const UINT chosen = settings_message(recheck)) {
                if (!due) watcher.snapshot(true, status, control);
                status |= kSettingsReread;
                message = chosen;
                due = true;
            }
        }
        // The monitor's own bits go on last, so that no snapshot above
        // overwrites them.
        status = with_bidi_bit(status);
        const Reachability reach = apply_reachability(status, control, watcher.decided());
        status = reach.status;
        due = due || reach.decision_due;
        if ((win95_ || win98_) && ((watcher.decided().status ^ status) & status::kPrinting)) {
            // Nor are printer changes told: a job's start or end is the
            // moment to look again.
            recheck_printer();
            status = with_bidi_bit(status);
        }

        if (!due) continue;
        const Decision decision = watcher.decide(status, message, control, view.popup_visible());
        if (decision.post) view.post_notify(decision.message, decision.persistent);
    }
    return kWorkerStopped;
}

}  // namespace qor::statmon
