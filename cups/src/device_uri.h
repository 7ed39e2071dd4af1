// The device URI of a CUPS queue on a suite printer:
//   qor://<printer>?root=<QOR_ROOT>&runtime=<QOR_RUNTIME_DIR>
// The printer name and both folders are percent-encoded. The folders tell
// the backend, which CUPS starts with a cleaned environment, which print
// service to reach; without them it uses its own environment's.
#pragma once

#include <optional>
#include <string>

namespace qorcups {

struct DeviceUri {
    std::string printer;
    std::string root;     // empty: not given
    std::string runtime;  // empty: not given
};

std::string FormatDeviceUri(const DeviceUri& uri);

// Empty for another scheme, an empty printer name, a malformed escape, an
// escaped NUL, or an unknown query key.
std::optional<DeviceUri> ParseDeviceUri(const std::string& text);

}  // namespace qorcups
