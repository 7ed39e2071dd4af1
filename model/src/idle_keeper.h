// Keeps an open port's printer watched between jobs: the port stays
// started, and while no job runs the printer's real-time status is asked
// for every half second, so the Status block and the spooler's status
// follow the printer at all times.
#pragma once

#include "lm2k_entries.h"

namespace qor::model {

inline constexpr DWORD kIdlePollMs = 500;

// Starts watching a port opened through QORLM2K (once per port).
void keep_watched(const Lm2kEntries& lm, HANDLE port);
// Stops watching it and gives its hold back; returns when the watch has
// ended. Called before the port is closed.
void stop_watching(HANDLE port);
void stop_watching_all();

}  // namespace qor::model
