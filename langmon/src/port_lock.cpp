// The per-port lock: an unnamed platform mutex, so that "release one hold if
// the caller has one" is the mutex's own owner check.
#include "port_internal.h"

namespace qorlm {

void lock_port(QORMON_PORT* port) { WaitForSingleObject(port->port_lock, INFINITE); }

void unlock_port(QORMON_PORT* port) { ReleaseMutex(port->port_lock); }

void release_port_hold(QORMON_PORT* port) {
    const DWORD error = GetLastError();
    ReleaseMutex(port->port_lock);  // fails harmlessly when not the owner
    SetLastError(error);
}

}  // namespace qorlm
