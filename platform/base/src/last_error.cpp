#include "qor/base.h"

namespace {
__attribute__((tls_model("initial-exec"))) thread_local DWORD last_error = ERROR_SUCCESS;
}

extern "C" QORAPI DWORD GetLastError(void) { return last_error; }
extern "C" QORAPI void SetLastError(DWORD error) { last_error = error; }
