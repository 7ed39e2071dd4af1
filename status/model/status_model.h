// Everything the settings dialog decides: which rows carry a check mark,
// whether the list and hint are usable, when Renew is offered, and what is
// written to the registry. The window only shows this state and forwards
// the user's clicks.
#pragma once

#include "conditions.h"
#include "status_settings.h"

#include <vector>

namespace status {

inline constexpr const char* kCaption = "QOR status monitor setting program";
inline constexpr const char* kMutexName = "QOR_PRINTER_TOOL";

class StatusModel {
public:
    explicit StatusModel(StatusSettings& settings);

    // The dialog's start: the switch from "Enable", the marks from the last
    // choice, then Renew disabled.
    void start();
    // The check box "Use the status indications" clicked.
    void set_announcements(bool on);
    // A row's check mark changed in the list.
    void set_row_checked(size_t row, bool checked);
    // Renew: the masks, the switch and the read interval are written.
    void renew();

    size_t row_count() const { return checked_.size(); }
    const char* row_text(size_t row) const { return condition_rows()[row].text; }
    bool row_checked(size_t row) const { return checked_[row]; }
    bool announcements() const { return enable_mask_ != 0; }
    bool list_enabled() const { return announcements(); }
    bool hint_visible() const { return announcements(); }
    bool renew_enabled() const { return renew_enabled_; }

private:
    Words words_from_marks() const;
    void marks_from(const Words& words);
    // Builds the words from the marks and saves them as the last choice;
    // true when they changed.
    bool save_marks();

    StatusSettings& settings_;
    std::vector<bool> checked_;
    Words words_;
    uint32_t enable_mask_ = 0;
    bool renew_enabled_ = false;
};

}  // namespace status
