// The printer's condition as CUPS hears it: printer-state-reasons from the
// suite's status word, reported by the backend as "STATE:" lines on
// standard error whenever the set changes.
#pragma once

#include "qor/base.h"

#include <set>
#include <string>

namespace qorcups {

// The reasons the status word carries ("media-empty-error", "media-low-report",
// "cover-open-error", "media-jam-error", "offline-report", ...).
std::set<std::string> StateReasons(DWORD status);

// Remembers the reasons last reported and gives the lines that move CUPS
// from them to `now` ("STATE: -old" and "STATE: +new"); empty when nothing
// changed.
class StateReporter {
public:
    std::string Update(const std::set<std::string>& now);
    // Lines clearing every reason reported so far.
    std::string Clear() { return Update({}); }

private:
    std::set<std::string> reported_;
};

}  // namespace qorcups
