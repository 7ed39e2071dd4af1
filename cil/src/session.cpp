// Opening and closing the session: the printer lookup, the system-wide
// session mutex, the greeting, and the end of whatever the session holds.
#include "calls.h"

#include "connection.h"
#include "spooler_calls.h"

#include "common/status.h"
#include "qorcil.h"

#include "qor/kernel.h"
#include "qor/spooler.h"

#include <utility>

namespace qor::cil {

namespace {

constexpr DWORD kSessionWaitMs = 100;
constexpr DWORD kClosePauseMs = 20;
// GS a 1E (status back for on line, errors, paper and printing), then the
// host's name: DC3 ( "(QOR)".
constexpr BYTE kGreeting[] = {0x1D, 0x61, 0x1E, 0x13, 0x28, 0x28, 'Q', 'O', 'R', 0x29};

// The session mutex, created here; 0 with it owned, else 100009.
DWORD take_session_mutex(HANDLE* mutex) {
    HANDLE created = CreateMutexA(nullptr, FALSE, names::kOpenSessionMutex);
    if (!created) return QORCIL_E_BUSY_ELSEWHERE;
    // An existing mutex is another process's session (or its open attempt):
    // refused at once, keeping the name alive no longer than needed.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(created);
        return QORCIL_E_BUSY_ELSEWHERE;
    }
    const DWORD result = WaitForSingleObject(created, kSessionWaitMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(created);
        return QORCIL_E_BUSY_ELSEWHERE;
    }
    *mutex = created;
    return 0;
}

}  // namespace

DWORD check_session(HANDLE session) {
    const DWORD result = WaitForSingleObject(session, kSessionWaitMs);
    if (result == WAIT_FAILED) return QORCIL_E_INVALID_SESSION;
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(session);
    return 0;
}

DWORD open_session(const std::shared_ptr<Library>& library, const char* name, HANDLE* session) {
    if (!session) return QORCIL_E_NULL_POINTER;
    if (!name) return QORCIL_E_NULL_NAME;
    *session = nullptr;
    if (!printer_matches(name)) return QORCIL_E_NO_SUCH_PRINTER;
    {
        std::lock_guard lock(library->mutex);
        if (library->printer_name || library->opening) return QORCIL_E_BUSY_HERE;
        library->opening = true;
    }
    HANDLE mutex = nullptr;
    const DWORD taken = take_session_mutex(&mutex);
    {
        std::lock_guard lock(library->mutex);
        library->opening = false;
        if (taken != 0) return taken;
        library->printer_name = name;
        library->session_mutex = mutex;
    }
    *session = mutex;

    DWORD sent = 0;
    const DWORD result = exchange_data(library, mutex, kGreeting, sizeof kGreeting, &sent, nullptr, 0, nullptr);
    if (result == 0 && sent == sizeof kGreeting) return 0;
    close_session(*library, mutex);
    *session = nullptr;  // the handle died with the session
    return result ? result : QORCIL_E_GREETING_INCOMPLETE;
}

DWORD close_session(Library& library, HANDLE session) {
    if (DWORD error = check_session(session)) return error;
    library.sessions_closed.fetch_add(1);  // a send in progress stops at its next step

    HANDLE mutex = nullptr;
    {
        std::lock_guard lock(library.mutex);
        mutex = library.session_mutex;
    }
    if (mutex) {
        // Fails when another thread opened the session; the name still goes
        // with the last handle.
        ReleaseMutex(mutex);
        const bool closed = CloseHandle(mutex);
        std::lock_guard lock(library.mutex);
        if (closed && library.session_mutex == mutex) library.session_mutex = nullptr;
    }
    Sleep(kClosePauseMs);

    // A call still connected on another thread loses its connection here.
    HANDLE printer = nullptr, requests = nullptr;
    {
        std::lock_guard lock(library.mutex);
        printer = std::exchange(library.printer, nullptr);
        requests = std::exchange(library.requests, nullptr);
    }
    DWORD result = 0;
    if (requests && send_request(requests, names::kRequestEndDocPort) != 0) result = QORCIL_E_END_REQUEST;
    if (printer && !ClosePrinter(printer)) result = QORCIL_E_CLOSE_PRINTER;

    std::lock_guard lock(library.mutex);
    library.printer_name.reset();
    return result;
}

}  // namespace qor::cil
