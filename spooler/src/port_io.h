// The one seam every port's byte traffic goes through. Devices call the
// system through an IoOps table; tests swap the table to inject short
// writes, EINTR/EAGAIN, ENOSPC, EIO and ENODEV.
#pragma once

#include "qor/base.h"

#include <cstddef>
#include <cstdint>
#include <poll.h>
#include <sys/types.h>

namespace qor::spooler {

struct IoOps {
    ssize_t (*write)(int fd, const void* data, size_t size);
    ssize_t (*read)(int fd, void* data, size_t size);
    int (*poll)(pollfd* fds, nfds_t count, int timeout_ms);
};

const IoOps& system_io();
// The table devices use; tests replace it (null restores the system's).
const IoOps& port_io();
void set_port_io(const IoOps* ops);

// The platform error for an errno value from a device.
DWORD error_from_errno(int error);

// Writes all `size` bytes, retrying short writes and interruptions and
// waiting for room when the device says EAGAIN, until `timeout_ms` passes
// (negative: no limit). `written` counts what went out. Returns 0 or the
// platform error (ERROR_TIMEOUT when the device took too long).
DWORD write_all(int fd, const uint8_t* data, size_t size, int timeout_ms, size_t& written);

// Waits up to `first_ms` for the first byte, then keeps reading while more
// arrives within `interval_ms` of the last, up to `size`, and never past
// `total_ms` from the start (negative: no such bound). 0 (bytes in `got`,
// possibly none) or the platform error. End of file reads as none.
DWORD read_some(int fd, uint8_t* buffer, size_t size, int first_ms, int interval_ms, size_t& got, int total_ms = -1);

}  // namespace qor::spooler
