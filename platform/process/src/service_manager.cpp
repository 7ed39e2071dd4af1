// The manager's calls: service records in the machine registry, starting
// through the supervisor, control requests through the shared record.
#include "companion_program.h"
#include "qor/guard.h"
#include "qor/process.h"
#include "qor/registry.h"
#include "qor/service.h"
#include "qor/sysinfo.h"
#include "service_record.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

using namespace qor::service;

namespace {

// How long a start waits for the service's dispatcher to connect.
constexpr DWORD kStartTimeoutMs = 30000;
// How long a start waits for a stopped service's supervisor to be gone.
constexpr auto kRestartWait = std::chrono::seconds(5);

// Manager and service handles: plain numbers into a table of their own.
struct Entry {
    bool is_manager;
    std::string name;
};
std::mutex table_lock;
std::map<uintptr_t, Entry> table;
uintptr_t next_id = 1;

SC_HANDLE add_entry(Entry entry) {
    std::lock_guard guard(table_lock);
    uintptr_t id = next_id++;
    table.emplace(id, std::move(entry));
    return reinterpret_cast<SC_HANDLE>(id << 4);
}

bool find_entry(SC_HANDLE handle, bool manager, Entry& out) {
    std::lock_guard guard(table_lock);
    auto it = table.find(reinterpret_cast<uintptr_t>(handle) >> 4);
    if (!handle || (reinterpret_cast<uintptr_t>(handle) & 15) || it == table.end() ||
        it->second.is_manager != manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    out = it->second;
    return true;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool valid_name(const char* name) {
    if (!name || !*name) return false;
    for (const char* p = name; *p; ++p)
        if (*p == '\\' || *p == '/') return false;
    return true;
}

bool service_exists(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// qorsvchost lives next to the library (build/bin), unless QOR_SVCHOST names it.
std::string supervisor_program() { return qor::companion_program("QOR_SVCHOST", "qorsvchost"); }

// Runs the supervisor, which detaches at once and lives as long as the service.
bool run_supervisor(const std::string& name) {
    std::string line = "\"" + supervisor_program() + "\" \"" + name + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code == 0;
}

// A fresh record, once the supervisor of an earlier run is gone.
std::unique_ptr<ServiceLink> create_record(const std::string& name) {
    auto until = std::chrono::steady_clock::now() + kRestartWait;
    for (;;) {
        auto link = std::make_unique<ServiceLink>(name, ServiceLink::Mode::Create);
        if (!link->valid()) return nullptr;
        if (!link->existed()) return link;
        if (link->record().state.load() != SERVICE_STOPPED) {
            SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
            return nullptr;
        }
        link.reset();
        if (std::chrono::steady_clock::now() > until) {
            SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

extern "C" QORAPI SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR, DWORD) {
    return qor::guarded(SC_HANDLE(nullptr), [&]() -> SC_HANDLE {
        if (machine && *machine) {  // only the local machine is managed
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        return add_entry({true, {}});
    });
}

extern "C" QORAPI SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR display_name, DWORD, DWORD type,
                                           DWORD start_type, DWORD error_control, LPCSTR binary_path, LPCSTR,
                                           LPDWORD, LPCSTR, LPCSTR, LPCSTR) {
    return qor::guarded(SC_HANDLE(nullptr), [&]() -> SC_HANDLE {
        Entry entry;
        if (!find_entry(manager, true, entry)) return nullptr;
        if (!valid_name(name) || !binary_path || !*binary_path) {
            SetLastError(valid_name(name) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
            return nullptr;
        }
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + std::string(name)).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
            r != ERROR_SUCCESS) {
            SetLastError(DWORD(r));
            return nullptr;
        }
        if (disposition == REG_OPENED_EXISTING_KEY) {
            RegCloseKey(key);
            SetLastError(ERROR_SERVICE_EXISTS);
            return nullptr;
        }
        auto put_text = [&](const char* value, const char* text, DWORD kind) {
            RegSetValueExA(key, value, 0, kind, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
        };
        auto put_number = [&](const char* value, DWORD number) {
            RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        };
        put_text("ImagePath", binary_path, REG_EXPAND_SZ);
        put_text("DisplayName", display_name ? display_name : name, REG_SZ);
        put_number("Type", type);
        put_number("Start", start_type);
        put_number("ErrorControl", error_control);
        RegCloseKey(key);
        return add_entry({false, name});
    });
}

extern "C" QORAPI SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD) {
    return qor::guarded(SC_HANDLE(nullptr), [&]() -> SC_HANDLE {
        Entry entry;
        if (!find_entry(manager, true, entry)) return nullptr;
        if (!valid_name(name)) {
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        if (!service_exists(name)) {
            SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
            return nullptr;
        }
        return add_entry({false, name});
    });
}

extern "C" QORAPI BOOL StartServiceA(SC_HANDLE service, DWORD, LPCSTR*) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        Entry entry;
        if (!find_entry(service, false, entry)) return FALSE;
        if (image_path(entry.name).empty()) return fail(ERROR_SERVICE_DOES_NOT_EXIST);
        std::unique_ptr<ServiceLink> link = create_record(entry.name);
        if (!link) return FALSE;
        SharedRecord& record = link->record();
        record.win32_exit_code.store(0);
        record.state.store(SERVICE_START_PENDING);
        if (!run_supervisor(entry.name)) return fail(ERROR_SERVICE_REQUEST_TIMEOUT);
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
        for (;;) {
            if (record.connected.load()) return TRUE;
            if (record.state.load() == SERVICE_STOPPED) {
                DWORD error = record.win32_exit_code.load();
                return fail(error && error != ERROR_PROCESS_ABORTED ? error : ERROR_SERVICE_REQUEST_TIMEOUT);
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return fail(ERROR_SERVICE_REQUEST_TIMEOUT);
            WaitForSingleObject(link->changed_event(), DWORD(left.count()));
        }
    });
}

extern "C" QORAPI BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        Entry entry;
        if (!find_entry(service, false, entry)) return FALSE;
        if (!status) return fail(ERROR_INVALID_PARAMETER);
        ServiceLink link(entry.name, ServiceLink::Mode::Open);
        *status = link.valid() ? link.status() : SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
        return TRUE;
    });
}

extern "C" QORAPI BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        Entry entry;
        if (!find_entry(service, false, entry)) return FALSE;
        if (!status) return fail(ERROR_INVALID_PARAMETER);
        if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_INTERROGATE && control < 128)
            return fail(ERROR_INVALID_SERVICE_CONTROL);
        ServiceLink link(entry.name, ServiceLink::Mode::Open);
        if (!link.valid() || link.record().state.load() == SERVICE_STOPPED) return fail(ERROR_SERVICE_NOT_ACTIVE);
        *status = link.status();
        if (control == SERVICE_CONTROL_INTERROGATE) return TRUE;
        bool settled = status->dwCurrentState == SERVICE_RUNNING;
        if (!settled || (control == SERVICE_CONTROL_STOP && !(status->dwControlsAccepted & SERVICE_ACCEPT_STOP)))
            return fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
        link.record().pending_control.store(control);
        SetEvent(link.control_event());
        return TRUE;
    });
}

extern "C" QORAPI BOOL DeleteService(SC_HANDLE service) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        Entry entry;
        if (!find_entry(service, false, entry)) return FALSE;
        LONG r = RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kServicesKey + entry.name).c_str());
        if (r == ERROR_FILE_NOT_FOUND) return fail(ERROR_SERVICE_DOES_NOT_EXIST);
        if (r != ERROR_SUCCESS) return fail(DWORD(r));
        return TRUE;
    });
}

extern "C" QORAPI BOOL CloseServiceHandle(SC_HANDLE handle) {
    std::lock_guard guard(table_lock);
    if (!handle || !table.erase(reinterpret_cast<uintptr_t>(handle) >> 4)) return fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
