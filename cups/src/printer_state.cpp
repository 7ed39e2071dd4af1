#include "printer_state.h"

#include "common/status.h"

#include "qor/spooler.h"

namespace qorcups {
namespace {

struct Reason {
    DWORD bits;
    const char* name;
};

// Errors stop the printer, reports only inform (CUPS shows both).
constexpr Reason kReasons[] = {
    {qor::status::kPaperOut, "media-empty-error"},
    {qor::status::kPaperNearEnd, "media-low-report"},
    {qor::status::kCoverOpen, "cover-open-error"},
    {qor::status::kPaperJam, "media-jam-error"},
    {qor::status::kCutterError, "cutter-error"},
    {qor::status::kOffline, "offline-report"},
    {PRINTER_STATUS_NOT_AVAILABLE, "offline-report"},
    {qor::status::kFatalError, "other-error"},
    {qor::status::kAutoRecoverError, "other-warning"},
};

}  // namespace

std::set<std::string> StateReasons(DWORD status) {
    std::set<std::string> reasons;
    for (const Reason& reason : kReasons)
        if (status & reason.bits) reasons.insert(reason.name);
    return reasons;
}

std::string StateReporter::Update(const std::set<std::string>& now) {
    std::string removed, added;
    for (const std::string& reason : reported_)
        if (!now.count(reason)) removed += (removed.empty() ? "" : ",") + reason;
    for (const std::string& reason : now)
        if (!reported_.count(reason)) added += (added.empty() ? "" : ",") + reason;
    reported_ = now;
    std::string lines;
    if (!removed.empty()) lines += "STATE: -" + removed + "\n";
    if (!added.empty()) lines += "STATE: +" + added + "\n";
    return lines;
}

}  // namespace qorcups
