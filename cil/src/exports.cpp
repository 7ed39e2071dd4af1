// The thirteen exports. Each finds the library state (100022 when the
// library was never attached) and forwards; the session API reports TRUE
// exactly when the call it wraps returns 0.
#include "calls.h"
#include "qor/guard.h"

#include "common/status.h"
#include "qorcil.h"

#include "qor/strings.h"

#include <string>

using namespace qor::cil;

static_assert(QORCIL_STATUS_FATAL_ERROR == qor::status::kFatalError);
static_assert(QORCIL_STATUS_PAPER_JAM == qor::status::kPaperJam);
static_assert(QORCIL_STATUS_PAPER_OUT == qor::status::kPaperOut);
static_assert(QORCIL_STATUS_MANUAL_FEED == qor::status::kManualFeed);
static_assert(QORCIL_STATUS_OFFLINE == qor::status::kOffline);
static_assert(QORCIL_STATUS_PRINTING == qor::status::kPrinting);
static_assert(QORCIL_STATUS_AUTO_RECOVERY_ERROR == qor::status::kAutoRecoverError);
static_assert(QORCIL_STATUS_COVER_OPEN == qor::status::kCoverOpen);
static_assert(QORCIL_STATUS_CUTTER_ERROR == qor::status::kCutterError);
static_assert(QORCIL_STATUS_PAPER_NEAR_END == qor::status::kPaperNearEnd);
static_assert(QORCIL_STATUS_NO_ANSWER == qor::status::kNoAnswerResult);

namespace {

// The name in the ANSI code page; a double-byte page may need two bytes per
// character, so the size is asked for first.
bool to_ansi(LPCWSTR wide, std::string* narrow) {
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    narrow->assign(size_t(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow->data(), size, nullptr, nullptr) <= 0) return false;
    narrow->resize(size_t(size) - 1);
    return true;
}

}  // namespace

extern "C" {

QORAPI DWORD OpenQorPrinterA(LPCSTR printer_name, LPHANDLE session) {
    return qor::guarded_code([&]() -> DWORD {
        auto state = library();
        return state ? open_session(state, printer_name, session) : QORCIL_E_NO_LIBRARY_STATE;
    });
}

QORAPI DWORD OpenQorPrinterW(LPCWSTR printer_name, LPHANDLE session) {
    return qor::guarded_code([&]() -> DWORD {
        if (!printer_name) return OpenQorPrinterA(nullptr, session);
        std::string narrow;
        if (!to_ansi(printer_name, &narrow)) {
            const DWORD error = GetLastError();
            return error ? error : DWORD(ERROR_INVALID_PARAMETER);
        }
        return OpenQorPrinterA(narrow.c_str(), session);
    });
}

QORAPI DWORD CloseQorPrinter(HANDLE session) {
    return qor::guarded_code([&]() -> DWORD {
        auto state = library();
        return state ? close_session(*state, session) : QORCIL_E_NO_LIBRARY_STATE;
    });
}

QORAPI DWORD GetQorPrinterStatus(HANDLE session, LPDWORD status, DWORD option) {
    return qor::guarded_code([&]() -> DWORD {
        auto state = library();
        return state ? query_status(state, session, status, option) : QORCIL_E_NO_LIBRARY_STATE;
    });
}

QORAPI DWORD CommQorPrinterData(HANDLE session, const BYTE* send, DWORD send_length, LPDWORD sent, BYTE* receive,
                                DWORD receive_size, LPDWORD received) {
    return qor::guarded_code([&]() -> DWORD {
        auto state = library();
        return state ? exchange_data(state, session, send, send_length, sent, receive, receive_size, received)
                     : QORCIL_E_NO_LIBRARY_STATE;
    });
}

QORAPI DWORD SetQorPrinterData(HANDLE session, const BYTE* data, DWORD length, LPDWORD sent) {
    return qor::guarded_code([&]() -> DWORD {
        return CommQorPrinterData(session, data, length, sent, nullptr, 0, nullptr);
    });
}

QORAPI DWORD GetQorPrinterData(HANDLE, DWORD, DWORD, LPDWORD out) {
    return qor::guarded_code([&]() -> DWORD {
        if (out) *out = 0;
        return QORCIL_E_NOT_SUPPORTED;
    });
}

QORAPI BOOL CILStartSessionA(LPCSTR printer_name, LPHANDLE session) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return OpenQorPrinterA(printer_name, session) == 0;
    });
}

QORAPI BOOL CILStartSessionW(LPCWSTR printer_name, LPHANDLE session) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return OpenQorPrinterW(printer_name, session) == 0;
    });
}

QORAPI BOOL CILEndSession(HANDLE session) { return CloseQorPrinter(session) == 0; }

QORAPI BOOL CILGetPrinterStatus(HANDLE session, LPDWORD status, DWORD option) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return GetQorPrinterStatus(session, status, option) == 0;
    });
}

QORAPI BOOL CILSetPrinterData(HANDLE session, const BYTE* data, DWORD length, LPDWORD sent) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return CommQorPrinterData(session, data, length, sent, nullptr, 0, nullptr) == 0;
    });
}

QORAPI BOOL CILGetPrinterData(HANDLE session, BYTE* buffer, DWORD size, LPDWORD received) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return CommQorPrinterData(session, nullptr, 0, nullptr, buffer, size, received) == 0;
    });
}

}  // extern "C"
