// Starts and ends of the underlying port that this library makes on its own
// account: time-outs after every start, the fixed document for requests.
#include "port_internal.h"

#include "qor/spooler.h"

namespace qorlm {

namespace {

COMMTIMEOUTS g_timeouts = {100, 0, 10, 5, 500};  // QORMON_TIMEOUTS
WCHAR g_document_name[] = u"QORMON Doc";
DOC_INFO_3W g_document = {g_document_name, nullptr, nullptr, 0};  // QORMON_DOCINFO

}  // namespace

void set_port_timeouts(QORMON_PORT* port) {
    if (port->monitor.pfnSetPortTimeOuts)
        port->monitor.pfnSetPortTimeOuts(port->underlying_port, &g_timeouts, 0);
}

bool start_port_for_request(QORMON_PORT* port) {
    if (!port->monitor.pfnStartDocPort ||
        !port->monitor.pfnStartDocPort(port->underlying_port, port->printer_name, kRequestJobId, 3,
                                       reinterpret_cast<LPBYTE>(&g_document)))
        return false;
    qormon_set(port, QORMON_PORT_STARTED);
    set_port_timeouts(port);
    return true;
}

void end_port(QORMON_PORT* port) {
    qormon_clear(port, QORMON_PORT_STARTED);
    if (port->monitor.pfnEndDocPort) port->monitor.pfnEndDocPort(port->underlying_port);
}

}  // namespace qorlm
