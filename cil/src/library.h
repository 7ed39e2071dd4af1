// The library state of one process: created when the module is loaded and
// dropped when it is unloaded. Workers hold it too, so a worker that is
// still running at unload keeps what it uses until it ends.
#pragma once

#include "block_uses.h"
#include "request_record.h"
#include "tasks.h"

#include "qor/sysinfo.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qor::cil {

class Library {
public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool valid() const { return status_requests.valid() && receive_requests.valid() && send_requests.valid(); }
    // Windows 98 (4.10) needs the device-not-selected time-out fixed at connect.
    bool is_windows_98() const { return version_major == 4 && version_minor == 10; }

    // Session and connection; guarded by `mutex`, never held across a wait.
    std::mutex mutex;
    HANDLE session_mutex = nullptr;          // also the session handle
    std::optional<std::string> printer_name;  // present while a session is open
    HANDLE printer = nullptr;                // held from connect to disconnect
    HANDLE requests = nullptr;               // the same handle, for the requests
    bool opening = false;                    // an open is between its checks and its end
    bool connected = false;                  // a call owns the connection

    // Bumped by every close; a send started in an earlier session stops.
    std::atomic<uint32_t> sessions_closed{0};

    DWORD version_major = 0;
    DWORD version_minor = 0;

    RequestRecord<StatusTask> status_requests;
    RequestRecord<ReceiveTask> receive_requests;
    RequestRecord<SendTask> send_requests;
    BlockUses blocks;

private:
    // The named mutexes the library locks stay open while it is loaded, so
    // that each lock opens an existing object instead of making and deleting
    // its file in the object folder (milliseconds on a disk file system).
    std::vector<HANDLE> kept_mutexes_;
};

// The state of the loaded library; null before attach and after detach.
std::shared_ptr<Library> library();
bool attach();
void detach();

}  // namespace qor::cil
