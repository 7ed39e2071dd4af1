// Change notification. A per-process watcher thread follows each hive's
// folder with inotify; when a hive file is replaced it compares every armed
// key with the state it had when armed and signals those that differ. Each
// request fires once.
#pragma once

#include "registry_handles.h"

namespace qor::registry {

struct ChangeRequest {
    HKEY key = nullptr;
    OpenKey target;
    bool subtree = false;
    DWORD filter = 0;
};

// Signals `event` (a kernel event) on the first change after this call.
LONG notify_async(const ChangeRequest& request, HANDLE event);
// Blocks until the first change after this call, or until the key is closed.
LONG notify_wait(const ChangeRequest& request);
// Drops the requests armed through `key` (it is being closed).
void cancel_notifications(HKEY key);

}  // namespace qor::registry
