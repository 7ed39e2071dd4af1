// Follows a print-service job to its end for the CUPS backend: the
// printer's condition as STATE: lines while it waits (a printer out of
// paper keeps the job waiting, it does not fail it), and the end.
#pragma once

#include "printer_state.h"

#include "qor/base.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace qorcups {

enum class JobEnd {
    Printed,    // the service has passed it on whole: it left the queue, or
                // is kept there as printed
    Cancelled,  // `stop` was raised: the job was cancelled in the service
    Lost,       // the printer went away (deleted) while the job waited
};

struct WatchOptions {
    std::chrono::milliseconds poll{100};
    const std::atomic<bool>* stop = nullptr;   // set from a signal handler
    std::function<void(const std::string&)> say;  // STATE: lines, messages
};

JobEnd WatchJob(const std::u16string& printer, DWORD job_id, const WatchOptions& options, std::string* error);

}  // namespace qorcups
