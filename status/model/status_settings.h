// The registry values the settings program shares with the status monitor
// (current user) and the language monitor's read interval (local machine).
// Registry failures are not errors here: a value that cannot be read counts
// as absent, one that cannot be written is skipped.
#pragma once

#include "qor/registry.h"

#include <cstdint>

namespace status {

inline constexpr const char* kMonitorKey = "SOFTWARE\\QOR\\ZEM\\StatusMonitor";
inline constexpr const char* kLanguageMonitorKey = "SOFTWARE\\QOR\\ZEM\\LM";
inline constexpr uint32_t kIntervalOn = 501, kIntervalOff = 500;

struct Words {
    uint32_t raised = 0;
    uint32_t cleared = 0;
    bool operator==(const Words&) const = default;
};

class StatusSettings {
public:
    StatusSettings();
    ~StatusSettings();
    StatusSettings(const StatusSettings&) = delete;
    StatusSettings& operator=(const StatusSettings&) = delete;

    // "Enable": on only when it is exactly one non-zero byte.
    bool read_enabled() const;
    // "1_last" and "0_last"; a value not exactly 4 bytes long reads as 0.
    Words read_last() const;
    void write_last(const Words& words);
    // "1" and "0", the masks the status monitor reads.
    void write_masks(const Words& masks);
    void write_enabled(bool on);
    // "ReadInterval" in the language monitor's key; needs write access to
    // the local machine's hive and quietly does nothing without it.
    void write_read_interval(bool on);

private:
    uint32_t read_word(const char* name) const;
    void write_word(HKEY key, const char* name, uint32_t value);

    HKEY key_ = nullptr;
};

}  // namespace status
