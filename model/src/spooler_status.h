// Reporting the printer's status word to the spooler from the model
// module's own requests, as QORLM2K does from its polls.
#pragma once

#include "qor/base.h"

namespace qor::model {

// Sets the spooler status of the port's printer to `status`; a printer that
// did not answer a query gets PRINTER_STATUS_NOT_AVAILABLE over its last
// word. Failures are ignored, as the polls ignore them.
void report_to_spooler(HANDLE port, DWORD status);
void report_no_answer_to_spooler(HANDLE port, DWORD last_status);

}  // namespace qor::model
