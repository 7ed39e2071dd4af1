// Finding the service program in the system folder and running it with a
// switch, waiting a bounded time for it to finish.
#pragma once

#include "qor/base.h"

#include <string>

namespace qorsetup {

// The full path of qorcsp.exe in the system folder, or empty.
std::string find_service_program();

enum class RunResult { NotStarted, Finished, StillRunning };
// Starts `program` + `switch_text` and waits up to 10 s for it.
RunResult run_service_program(const std::string& program, const char* switch_text);

}  // namespace qorsetup
