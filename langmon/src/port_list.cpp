// The process-wide port list, its lock, and the life of a port record.
#include "port_internal.h"

#include "qor/memory.h"

#include <cstring>
#include <mutex>

namespace qorlm {

namespace {

CRITICAL_SECTION g_list_lock;
std::once_flag g_list_lock_once;
QORMON_PORT* g_head = nullptr;

size_t wide_length(LPCWSTR text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

}  // namespace

// Idempotent, so an entry called before QORMonInitCriticalSection does not
// run on an uninitialised lock.
void init_list_lock() {
    std::call_once(g_list_lock_once, [] { InitializeCriticalSection(&g_list_lock); });
}

void enter_list() {
    init_list_lock();
    EnterCriticalSection(&g_list_lock);
}

void leave_list() { LeaveCriticalSection(&g_list_lock); }

QORMON_PORT* port_from_handle(HANDLE handle) {
    ListLock lock;
    for (QORMON_PORT* port = g_head; port; port = port->next)
        if (port == handle) return port;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

bool port_name_in_list(std::u16string_view name) {
    for (QORMON_PORT* port = g_head; port; port = port->next)
        if (name == port->port_name) return true;
    return false;
}

void append_port(QORMON_PORT* port) {
    QORMON_PORT** tail = &g_head;
    while (*tail) tail = &(*tail)->next;
    *tail = port;
}

LPWSTR copy_wide(LPCWSTR text) {
    const size_t bytes = (wide_length(text) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(LocalAlloc(LPTR, bytes));
    if (copy && text) std::memcpy(copy, text, bytes);
    return copy;
}

QORMON_PORT* allocate_port(std::u16string_view port_name, LPCWSTR printer_name) {
    const size_t size = offsetof(QORMON_PORT, port_name_text) + (port_name.size() + 1) * sizeof(WCHAR);
    auto* port = static_cast<QORMON_PORT*>(LocalAlloc(LPTR, size));
    if (!port) return nullptr;
    port->signature = QORMON_PORT_SIGNATURE;
    port->size = static_cast<DWORD>(size);
    std::memcpy(port->port_name_text, port_name.data(), port_name.size() * sizeof(WCHAR));
    port->port_name = port->port_name_text;
    port->printer_name = copy_wide(printer_name);
    port->port_lock = CreateMutexW(nullptr, FALSE, nullptr);
    port->status_cycle_lock = CreateMutexW(nullptr, FALSE, nullptr);
    if (!port->printer_name || !port->port_lock || !port->status_cycle_lock) {
        const DWORD error = GetLastError();
        if (port->port_lock) CloseHandle(port->port_lock);
        if (port->status_cycle_lock) CloseHandle(port->status_cycle_lock);
        if (port->printer_name) LocalFree(port->printer_name);
        LocalFree(port);
        SetLastError(error ? error : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    port->poll_wait = QORMON_POLL_WAIT_MS;
    port->ieee1284_read_mask = 4;
    port->ieee1284_write_mask = 1;
    port->mode_not_queried = 1;
    return port;
}

void remove_port(QORMON_PORT* port) {
    ListLock lock;
    QORMON_PORT** link = &g_head;
    while (*link && *link != port) link = &(*link)->next;
    if (!*link) return;
    *link = port->next;
    forget_printer(port);
    CloseHandle(port->port_lock);
    // The status-cycle lock goes with the record rather than leaking.
    CloseHandle(port->status_cycle_lock);
    LocalFree(port->printer_name);
    LocalFree(port);
}

}  // namespace qorlm
