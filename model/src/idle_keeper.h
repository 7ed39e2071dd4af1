// Keeps an open port's printer watched between jobs without sending it
// anything: the port stays started and its polling goes on after a job (the
// printer reports changes by itself once a job has enabled that), and every
// half second an empty write checks that the device is still there. So the
// Status block and the spooler's status follow the printer at all times.
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
