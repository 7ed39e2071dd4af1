// The watcher: snapshots of the Status block and the decisions made on
// them. Used by the worker thread; the decided fields are stored under the
// monitor lock so that the window side may read them.
#pragma once

#include "common/blocks_shared.h"
#include "decision.h"
#include "notify_settings.h"

#include <mutex>

namespace qor::statmon {

class CStatusWatcher {
public:
    explicit CStatusWatcher(std::mutex& monitor_lock);
    ~CStatusWatcher();
    CStatusWatcher(const CStatusWatcher&) = delete;
    CStatusWatcher& operator=(const CStatusWatcher&) = delete;

    SettingsRecord& settings() { return settings_; }

    // Opens (or creates) the Status block's mutex and maps the block; false
    // when either is missing. detach() undoes it.
    bool attach();
    void detach();

    // Takes the Status block's words into status and control when the block
    // is valid; true when they differ from the last snapshot, or `force`.
    // A block that cannot be locked or is not valid leaves both untouched.
    bool snapshot(bool force, DWORD& status, DWORD& control);

    // Decides on a cycle's words and remembers them as the decided ones.
    Decision decide(DWORD status, UINT settings_message, DWORD control, bool popup_visible);
    Decided decided() const;

private:
    std::mutex& lock_;
    DWORD last_status_ = 0;
    DWORD last_control_ = 0;
    Decided decided_;
    SettingsRecord settings_;
    blocks::MappedBlock block_;
    HANDLE block_mutex_ = nullptr;
};

}  // namespace qor::statmon
