// Client side of the spooler: connections to qorspoold, the printer-handle
// table, and the request/reply helper the API calls share.
#pragma once

#include "qor/spool/requests.h"

#include "qor/spooler.h"

#include <memory>
#include <mutex>
#include <string>

namespace qor::spool {

// One socket to the service. Requests on it are answered in order.
class Connection {
public:
    // Connects, starting the service when none runs. Null with last error
    // RPC_S_SERVER_UNAVAILABLE when it cannot be reached.
    static std::unique_ptr<Connection> open(bool start_if_needed = true);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd() const { return fd_; }

private:
    explicit Connection(int fd) : fd_(fd) {}
    int fd_;
};

// What the service answered: the head, the decoded reply record and a
// descriptor it may have sent along.
struct ResponseHead {
    ResponseHead() = default;
    ResponseHead(const ResponseHead&) = delete;
    ResponseHead& operator=(const ResponseHead&) = delete;
    ~ResponseHead();

    uint32_t result = 0;
    uint32_t error = 0;
    int passed_fd = -1;  // owned by the caller
};

template <class Request>
struct Response : ResponseHead {
    typename Request::Reply reply;
};

// Sends one frame and receives the reply frame. False (last error set)
// when the service cannot be reached.
bool exchange(Connection& conn, Op op, const Writer& request, std::vector<uint8_t>& reply, int& passed_fd);

// Sends one request and reads its reply. False (last error set) when the
// service cannot be reached or answers badly; otherwise true, whatever the
// call's own result.
template <requests::Operation Request>
bool call(Connection& conn, const Request& request, Response<Request>& response) {
    Writer w;
    encode(w, request);
    std::vector<uint8_t> payload;
    if (!exchange(conn, Request::op, w, payload, response.passed_fd)) return false;
    Reader in(payload);
    ReplyHead head;
    if (!decode_reply<Request>(in, head, response.reply)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return false;
    }
    response.result = head.result;
    response.error = head.error;
    return true;
}

// The same on a fresh connection, for calls that need no printer handle.
template <requests::Operation Request>
bool call_once(const Request& request, Response<Request>& response) {
    auto conn = Connection::open();
    return conn && call(*conn, request, response);
}

// Sets the caller's last error from a reply and returns its result as BOOL.
BOOL finish(const ResponseHead& response);

// Sets the last error and returns `result` (FALSE, 0 or null).
template <class T = BOOL>
T fail(DWORD error, T result = T{}) {
    SetLastError(error);
    return result;
}
inline BOOL succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// The out-counters of an enumeration: both needed, both start at 0.
inline bool counters_ok(LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) return fail(ERROR_INVALID_PARAMETER, false);
    *needed = 0, *returned = 0;
    return true;
}

// Packs a list reply with `pack(items)` and counts it.
template <class Item, class Pack>
BOOL finish_list(const requests::List<Item>& list, LPDWORD returned, Pack pack) {
    if (!pack(list.items)) return FALSE;
    *returned = static_cast<DWORD>(list.items.size());
    return succeed();
}

// An open printer handle: its own connection plus the client-side state of
// a document being written.
struct PrinterHandle {
    std::unique_ptr<Connection> conn;
    std::mutex mutex;  // one call at a time per handle
    int spool_fd = -1;  // the job's spool file while a document is open
    DWORD job_id = 0;
    DWORD pages = 0;
    bool in_page = false;
};

HANDLE insert_printer_handle(std::unique_ptr<PrinterHandle> handle);
std::shared_ptr<PrinterHandle> lookup_printer_handle(HANDLE handle);
std::shared_ptr<PrinterHandle> take_printer_handle(HANDLE handle);

// Text conversions at the API edge.
std::string wide_to_utf8(LPCWSTR text);          // null gives ""
std::string ansi_to_utf8(LPCSTR text);           // null gives ""
std::u16string utf8_to_wide(const std::string& text);
std::string utf8_to_ansi(const std::string& text);

}  // namespace qor::spool
