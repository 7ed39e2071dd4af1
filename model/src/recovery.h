// The request "RecoverySequence": the bytes the spooler sends before a job
// it sends again after an interrupted attempt, so that the printer starts
// the job in a known state and no ticket mixes two attempts.
#pragma once

#include "qor/base.h"

namespace qor::model {

bool is_recovery_request(LPCWSTR value_name);
// Copies the sequence to `out`, ending with the job's enabling of automatic
// status back when that is still due; FALSE with ERROR_INSUFFICIENT_BUFFER
// (and the size needed in `returned`) when it does not fit.
BOOL answer_recovery_request(bool with_status_back, LPWSTR out, DWORD out_size, LPDWORD returned);

}  // namespace qor::model
