// Printer and job rights.
#include "printer_security.h"

#include "qor/spooler.h"

#include <unistd.h>

namespace qor::spooler {

namespace {

constexpr security::GenericMapping kPrinterMapping{READ_CONTROL | PRINTER_ACCESS_USE,
                                                   READ_CONTROL | PRINTER_ACCESS_USE,
                                                   READ_CONTROL | PRINTER_ACCESS_USE, PRINTER_ALL_ACCESS};
constexpr security::GenericMapping kJobMapping{READ_CONTROL | JOB_ACCESS_READ, READ_CONTROL | JOB_ACCESS_ADMINISTER,
                                               READ_CONTROL | JOB_ACCESS_ADMINISTER, JOB_ALL_ACCESS};

DWORD mapped_request(DWORD requested) {
    return requested == 0 ? DWORD(PRINTER_ACCESS_USE) : security::map_generic(requested, kPrinterMapping);
}

}  // namespace

security::Bytes new_printer_descriptor(uid_t creator) {
    return security::default_descriptor(creator, PRINTER_ALL_ACCESS, PRINTER_ACCESS_USE);
}

security::Bytes printer_descriptor(const PrinterInfo& info) {
    return info.security.empty() ? new_printer_descriptor(getuid()) : info.security;
}

DWORD open_access(const PrinterInfo& info, const security::Caller& caller, DWORD requested) {
    DWORD wanted = mapped_request(requested);
    DWORD granted = security::granted_access(printer_descriptor(info), caller, kPrinterMapping);
    return (granted & wanted) == wanted ? wanted : 0;
}

bool may_manage_job(const PrinterInfo& info, const security::Caller& caller, bool owns) {
    return security::granted_child_access(printer_descriptor(info), caller, owns, kJobMapping) &
           JOB_ACCESS_ADMINISTER;
}

}  // namespace qor::spooler
