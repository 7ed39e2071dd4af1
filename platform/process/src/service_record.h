// The state of a started service, shared by the manager's callers, the
// supervisor and the service itself: a named mapping that lives while any
// of them holds it (so a service whose supervisor is gone reads as stopped),
// an event the service's dispatcher waits on for control requests, and an
// event set whenever the state changes.
#pragma once

#include "qor/service.h"

#include <atomic>
#include <string>

namespace qor::service {

struct SharedRecord {
    std::atomic<uint32_t> state;  // SERVICE_STOPPED ... SERVICE_RUNNING
    std::atomic<uint32_t> controls_accepted;
    std::atomic<uint32_t> win32_exit_code;
    std::atomic<uint32_t> service_exit_code;
    std::atomic<uint32_t> checkpoint;
    std::atomic<uint32_t> wait_hint;
    std::atomic<uint32_t> pending_control;  // 0: none
    std::atomic<uint32_t> connected;        // the service's dispatcher is running
    std::atomic<uint32_t> service_pid;
    std::atomic<uint32_t> supervisor_pid;
};
static_assert(sizeof(SharedRecord) == 40 && offsetof(SharedRecord, pending_control) == 24 &&
              offsetof(SharedRecord, supervisor_pid) == 36);
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The shared objects of one service, held open while this lives.
class ServiceLink {
public:
    enum class Mode { Create, Open };
    // Open fails (valid() false) when the service is not running.
    ServiceLink(const std::string& name, Mode mode);
    ~ServiceLink();
    ServiceLink(const ServiceLink&) = delete;
    ServiceLink& operator=(const ServiceLink&) = delete;

    bool valid() const { return record_ != nullptr; }
    bool existed() const { return existed_; }
    SharedRecord& record() { return *record_; }
    HANDLE control_event() const { return control_; }
    HANDLE changed_event() const { return changed_; }
    void announce_change() { SetEvent(changed_); }
    SERVICE_STATUS status() const;

private:
    HANDLE mapping_ = nullptr, control_ = nullptr, changed_ = nullptr;
    SharedRecord* record_ = nullptr;
    bool existed_ = false;
};

// Service names are case-insensitive.
std::string object_name(const std::string& service);

// Where the manager keeps its service records, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";
// The command line a service is started with; empty when it is not registered.
std::string image_path(const std::string& service);
// The variable that tells a started service its name.
inline constexpr const char* kServiceNameVariable = "QOR_SERVICE_NAME";

}  // namespace qor::service
