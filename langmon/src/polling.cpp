// The polling thread and the read-and-parse routine it shares with the
// model module (ReadCommand).
#include "port_internal.h"
#include "qor/guard.h"

#include "qor/spooler.h"
#include "qor/sysinfo.h"

#include <cstring>

using namespace qorlm;

namespace {

// One read of at most 1023 bytes into a zeroed 1024-byte buffer, so the
// chunk handed on is always followed by a zero byte.
DWORD read_chunk(QORMON_PORT* port, BYTE (&buffer)[QORMON_READ_CHUNK + 1]) {
    std::memset(buffer, 0, sizeof buffer);
    DWORD read = 0;
    if (!QORMonReadPort(port, buffer, QORMON_READ_CHUNK, &read)) return 0;
    return read > QORMON_READ_CHUNK ? QORMON_READ_CHUNK : read;  // a monitor may overstate
}

void hand_to_model(QORMON_PORT* port, BYTE (&buffer)[QORMON_READ_CHUNK + 1], DWORD count, DWORD options) {
    if (port->raw_data_sink) {
        DWORD sink_count = count;
        port->raw_data_sink(port, buffer, &sink_count);
    }
    if (!port->parse_status || !(options & QORMON_READ_PARSE)) return;
    DWORD status = 0;
    if (port->parse_status(port, buffer, count, &status) && (options & QORMON_READ_REPORT))
        report_status(port, status);
}

// No job is left: clear the spooler status, then decide under the list lock
// whether to exit. Returns true with both locks held when the thread ends.
bool ready_to_exit(QORMON_PORT* port) {
    lock_port(port);
    {
        ListLock lock;
        if (qormon_has(port, QORMON_JOB_ACTIVE)) {
            qormon_set(port, QORMON_POLLING_RUN);
            unlock_port(port);
            return false;
        }
    }
    {
        PrinterUse printer(port);
        SetPrinterW(printer.handle(), 0, nullptr, PRINTER_CONTROL_SET_STATUS);
    }
    forget_printer(port);
    enter_list();
    if (qormon_has(port, QORMON_JOB_ACTIVE)) {
        leave_list();
        unlock_port(port);
        return false;
    }
    return true;
}

// Gives the record up, under the locks ready_to_exit took. Once the list
// lock is given back a close waiting for this thread may free the record,
// so nothing of it is read after that; the answer is whether the record is
// this thread's to free.
bool exit_polling(QORMON_PORT* port) {
    qormon_clear(port, QORMON_THREAD_ALIVE);
    if (qormon_has(port, QORMON_PORT_STARTED) && std::atomic_ref<DWORD>(port->document_holds).load() == 0)
        end_port(port);
    CloseHandle(port->read_done_event);
    port->read_done_event = nullptr;
    HANDLE wake = wake_event(port).exchange(nullptr);
    CloseHandle(wake);
    const bool free_on_exit = qormon_has(port, QORMON_FREE_ON_THREAD_EXIT);
    unlock_port(port);
    leave_list();
    return free_on_exit;
}

DWORD polling_thread(LPVOID parameter) {
    auto* port = static_cast<QORMON_PORT*>(parameter);
    qormon_set(port, QORMON_THREAD_ALIVE);
    for (;;) {
        if (!qormon_has(port, QORMON_POLLING_RUN) && ready_to_exit(port)) break;
        if (qormon_has(port, QORMON_POLLING_ENABLED)) {
            ReadCommand(port, QORMON_READ_POLL);
            if (!qormon_has(port, QORMON_JOB_ACTIVE | QORMON_KEEP_POLLING_A | QORMON_KEEP_POLLING_B))
                qormon_clear(port, QORMON_POLLING_RUN);
            ReleaseMutex(port->status_cycle_lock);  // a hold the model module took during the poll
            WaitForSingleObject(wake_event(port).load(), port->poll_wait);
        } else {
            Sleep(2000);
            qormon_clear(port, QORMON_POLLING_RUN);
        }
    }
    if (exit_polling(port)) {
        if (port->monitor.pfnClosePort) port->monitor.pfnClosePort(port->underlying_port);
        remove_port(port);
    }
    return 0;
}

}  // namespace

namespace qorlm {

void start_polling_thread(QORMON_PORT* port) {
    // Alive from creation, not from the thread's first instruction: a close
    // in between would otherwise free the record under the new thread.
    qormon_set(port, QORMON_POLLING_RUN | QORMON_THREAD_ALIVE);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE read_done = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE thread = nullptr;
    if (wake && read_done) {
        port->read_done_event = read_done;
        wake_event(port).store(wake);
        thread = CreateThread(nullptr, kPollingStack, polling_thread, port, CREATE_SUSPENDED, nullptr);
    }
    if (!thread) {
        // Without a thread nobody would clear these, and the next job would
        // believe polling is running.
        wake_event(port).store(nullptr);
        port->read_done_event = nullptr;
        if (wake) CloseHandle(wake);
        if (read_done) CloseHandle(read_done);
        qormon_clear(port, QORMON_POLLING_RUN | QORMON_THREAD_ALIVE);
        return;
    }
    SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    ResumeThread(thread);
    CloseHandle(thread);
}

}  // namespace qorlm

extern "C" QORAPI DWORD ReadCommand(HANDLE handle, DWORD options) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        QORMON_PORT* port = port_from_handle(handle);
        if (!port) return 0;
        lock_port(port);
        if (!qormon_has(port, QORMON_PORT_STARTED)) {
            unlock_port(port);
            return 0;
        }
        if (port->read_done_event) ResetEvent(port->read_done_event);
        const DWORD start = GetTickCount();
        BYTE buffer[QORMON_READ_CHUNK + 1];
        DWORD read = 0;
        for (;;) {
            read = read_chunk(port, buffer);
            if (read) hand_to_model(port, buffer, read, options);
            if (!qormon_has(port, QORMON_THREAD_ALIVE) && qormon_has(port, QORMON_REPLY_WAIT)) {
                if (GetTickCount() - start >= QORMON_REPLY_WAIT_MS) {
                    qormon_clear(port, QORMON_REPLY_WAIT);
                    break;
                }
                Sleep(50);
                continue;
            }
            if (read != QORMON_READ_CHUNK) break;
        }
        if (port->read_done_event) SetEvent(port->read_done_event);
        unlock_port(port);
        return read;
    });
}
