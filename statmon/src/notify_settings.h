// The per-user announcement masks in the registry: read (creating missing
// values as 0) and re-checked for changes.
#pragma once

#include "decision.h"

#include <mutex>

namespace qor::statmon {

inline constexpr char kSettingsKey[] = "Software\\QOR\\ZEM\\StatusMonitor";
inline constexpr char kRaisedValue[] = "1";
inline constexpr char kClearedValue[] = "0";
// On the platforms that cannot signal registry changes the values are read
// at most this often.
inline constexpr DWORD kPolledSettingsIntervalMs = 5000;

struct NotifySettings {
    Masks masks;
    DWORD last_read_tick = 0;
};

// Reads both masks; a value that is missing or longer than a word is
// written as REG_DWORD 0 and read as 0. Fails only when neither value
// could be read or written.
bool read_masks(Masks& masks);

struct Recheck {
    bool ok;
    bool changed;
};

// The settings record and the monitor lock that guards its writes.
class SettingsRecord {
public:
    explicit SettingsRecord(std::mutex& monitor_lock) : lock_(monitor_lock) {}

    // Reads the registry into the record; stamps the read time either way.
    bool read();
    // Reads afresh and stores what differs. With `polled` (no change
    // signals on this platform) a read younger than the interval is skipped.
    Recheck recheck(bool polled);
    Masks masks() const;

private:
    std::mutex& lock_;
    NotifySettings settings_;
};

}  // namespace qor::statmon
