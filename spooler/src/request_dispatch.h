// Decodes one request, runs it on the service and encodes the reply. Every
// reply starts with the call's result and last error; a request whose fields
// do not decode gets ERROR_INVALID_PARAMETER.
#pragma once

#include "service.h"

namespace qor::spooler {

struct DispatchResult {
    spool::Writer reply;
    int pass_fd = -1;       // a descriptor to send along (owned; closed after sending)
    bool shutdown = false;  // the caller asked the service to stop
};

DispatchResult dispatch_request(Service& service, Session& session, spool::Op op, spool::Reader& in);

}  // namespace qor::spooler
