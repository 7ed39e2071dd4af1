#include "decision.h"

#include "common/status.h"
#include "notify_table.h"

namespace qor::statmon {

namespace {

constexpr DWORD kPrinting = qor::status::kPrinting;
constexpr DWORD kAnnounce = qor::status::kControlAnnounce;

bool has(DWORD word, DWORD bits) { return (word & bits) != 0; }

bool worth_posting(DWORD status, DWORD control, DWORD decided, const Masks& masks, bool popup_visible) {
    if (has(status, kPrinting) && (decided != status || !has(decided, kPrinting))) return true;
    if (has(decided, kPrinting) && !has(status, kPrinting) && !has(status, kBidiUnavailable)) return true;
    if (has(status, kUnreachable)) return true;
    if (has(status, kSettingsReread) && has(masks.raised, kSettingsReread)) return true;
    if (has(control, kAnnounce) && status != 0) return true;
    return popup_visible;
}

}  // namespace

Decision decide(DWORD status, UINT settings_message, DWORD control, Decided last, const Masks& masks,
                bool popup_visible) {
    DWORD decided = last.status;
    // A lost printer, or a job starting: what was known before no longer
    // holds, so present conditions are announced afresh.
    if (has(status, kUnreachable) || (has(status, kPrinting) && !has(decided, kPrinting)))
        decided &= kForgetConditions;

    Decision result;
    if (!worth_posting(status, control, decided, masks, popup_visible)) return result;
    result.post = true;
    for (const NotifyEntry& row : notify_table()) {
        if (!has(status, row.mask) || !has(masks.raised, row.mask)) continue;
        result.message = row.mask == kSettingsReread ? settings_message : row.raised_message;
        result.persistent = 1;
        if (result.message != 0) return result;
        break;
    }
    result.persistent = 0;
    for (const NotifyEntry& row : notify_table()) {
        if (has(status, row.mask) || !has(decided, row.mask) || !has(masks.cleared, row.mask)) continue;
        result.message = row.cleared_message;
        break;
    }
    return result;
}

Reachability apply_reachability(DWORD status, DWORD control, Decided decided) {
    if (has(control, qor::status::kControlNoConnection) && !has(status, kPrinting)) {
        // While a job was last seen printing the word stays as it is.
        if (has(decided.status, kPrinting)) return {status, false};
        const bool newly_announced = has(control, kAnnounce) && !has(decided.control, kAnnounce);
        return {(status & kForgetConditions) | kUnreachable, newly_announced};
    }
    return {status & ~kUnreachable, false};
}

}  // namespace qor::statmon
