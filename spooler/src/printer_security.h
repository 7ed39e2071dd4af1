// Who may do what with a printer and its jobs: the printer's security
// descriptor checked against the caller's uid and groups.
#pragma once

#include "database.h"
#include "qor/security/access.h"

namespace qor::spooler {

// The printer's descriptor; a printer from before descriptors existed gets
// the default one with the service's user as its owner.
security::Bytes printer_descriptor(const PrinterInfo& info);
// A new printer's descriptor, owned by its creator.
security::Bytes new_printer_descriptor(uid_t creator);

// What an open with `requested` rights (0: use) is granted; 0 when the
// descriptor does not grant all of them.
DWORD open_access(const PrinterInfo& info, const security::Caller& caller, DWORD requested);
// Whether the caller may manage a job of the printer (`owns`: its own).
bool may_manage_job(const PrinterInfo& info, const security::Caller& caller, bool owns);

}  // namespace qor::spooler
