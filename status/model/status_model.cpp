#include "status_model.h"

namespace status {

StatusModel::StatusModel(StatusSettings& settings)
    : settings_(settings), checked_(condition_rows().size(), false) {}

void StatusModel::start() {
    enable_mask_ = settings_.read_enabled() ? 0xFFFFFFFFu : 0;
    words_ = settings_.read_last();
    marks_from(words_);
    set_announcements(announcements());
    renew_enabled_ = false;
}

void StatusModel::set_announcements(bool on) {
    if (on) {
        enable_mask_ = 0xFFFFFFFFu;
        words_ = settings_.read_last();
        marks_from(words_);
    } else {
        enable_mask_ = 0;
        save_marks();
        checked_.assign(checked_.size(), false);
    }
    renew_enabled_ = true;
}

void StatusModel::set_row_checked(size_t row, bool checked) {
    if (row >= checked_.size() || !announcements()) return;
    checked_[row] = checked;
    if (save_marks()) renew_enabled_ = true;
}

void StatusModel::renew() {
    renew_enabled_ = false;
    if (announcements()) save_marks();
    settings_.write_masks(Words{words_.raised & enable_mask_, words_.cleared & enable_mask_});
    settings_.write_enabled(announcements());
    settings_.write_read_interval(announcements());
}

Words StatusModel::words_from_marks() const {
    Words words;
    auto rows = condition_rows();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (!checked_[row]) continue;
        (rows[row].mask == Mask::Raised ? words.raised : words.cleared) |= rows[row].bit;
    }
    return words;
}

void StatusModel::marks_from(const Words& words) {
    auto rows = condition_rows();
    for (size_t row = 0; row < rows.size(); ++row)
        checked_[row] = ((rows[row].mask == Mask::Raised ? words.raised : words.cleared) & rows[row].bit) != 0;
}

bool StatusModel::save_marks() {
    Words words = words_from_marks();
    settings_.write_last(words);
    bool changed = !(words == words_);
    words_ = words;
    return changed;
}

}  // namespace status
