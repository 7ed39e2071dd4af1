// Each request maps onto QORLM2K's request channel: the port is held
// started ("StartDocPort"/"EndDocPort") around anything that talks to the
// printer, commands go out with WriteCommand and replies come back through
// ReadCommand, which hands them to this module's SetStatusRawData.
#include "requests.h"

#include "common/status.h"
#include "exchange_blocks.h"
#include "port_states.h"
#include "replies.h"
#include "spooler_status.h"
#include "status_block_writer.h"

#include "qor/kernel.h"
#include "qor/sysinfo.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace qor::model {

namespace {

// DLE EOT 1..4: printer, off-line cause, error cause and paper sensor status.
const BYTE kRealtimeQuery[] = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10, 0x04, 0x04};
// GS a: report on-line, error, paper and printing groups.
const BYTE kStatusBackOn[] = {0x1D, 0x61, 0x1E};
// A printer answers DLE EOT at once, even while off line or printing; one
// that has not within this time counts as not answering. Two status passes
// of QORCIL then still fit its 1000 ms wait.
constexpr DWORD kQueryTimeoutMs = 300;
constexpr DWORD kFailedReadPauseMs = 10;

enum class Request { StartDoc, CheckConnection, Dummy, GetStatus, GetHistory, GetData, SendData, EndDoc, None };

Request request_of(LPCWSTR value_name) {
    if (!value_name) return Request::None;
    const std::u16string_view name(value_name);
    struct Entry {
        std::u16string_view name;
        Request request;
    };
    static constexpr Entry kRequests[] = {
        {u"QOR_StartDocPort", Request::StartDoc},      {u"QOR_CheckConnection", Request::CheckConnection},
        {u"QOR_DummyRequest", Request::Dummy},         {u"QOR_GetStatusRequest", Request::GetStatus},
        {u"QOR_GetHistoryRequest", Request::GetHistory}, {u"QOR_GetDataRequest", Request::GetData},
        {u"QOR_SendDataRequest", Request::SendData},   {u"QOR_EndDocPort", Request::EndDoc},
    };
    for (const auto& entry : kRequests)
        if (entry.name == name) return entry.request;
    return Request::None;
}

void channel_request(const Lm2kEntries& lm, HANDLE port, const char16_t* name) {
    std::u16string value(name);
    DWORD returned = 0;
    lm.get_printer_data(port, 0, value.data(), nullptr, 0, nullptr, 0, &returned);
}

// Keeps the underlying port started for a scope; holds nest.
class PortHold {
public:
    PortHold(const Lm2kEntries& lm, HANDLE port) : lm_(lm), port_(port) { channel_request(lm, port, u"StartDocPort"); }
    ~PortHold() { channel_request(lm_, port_, u"EndDocPort"); }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

private:
    const Lm2kEntries& lm_;
    HANDLE port_;
};

bool write_direct(const Lm2kEntries& lm, HANDLE port, const BYTE* bytes, DWORD count) {
    DWORD written = 0;
    return lm.write_command(port, const_cast<LPBYTE>(bytes), count, TRUE, &written) && written == count;
}

// One read of at most `wanted` bytes, under the port lock so that it never
// overlaps a poll; the port monitor returns as soon as they have come. The
// bytes take the road ReadCommand gives them.
void read_direct(const Lm2kEntries& lm, HANDLE port, size_t wanted, DWORD wait_ms) {
    auto* record = static_cast<QORMON_PORT*>(port);
    BYTE buffer[QORMON_READ_CHUNK];
    DWORD read = 0;
    const DWORD locked = WaitForSingleObject(record->port_lock, wait_ms);
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) return;
    const bool ok = qormon_has(record, QORMON_PORT_STARTED) &&
                    lm.read_port(port, buffer, DWORD(std::min<size_t>(wanted, sizeof buffer)), &read);
    ReleaseMutex(record->port_lock);
    if (!ok) {
        Sleep(kFailedReadPauseMs);  // a port that fails at once is not spun on
        return;
    }
    read = std::min<DWORD>(read, sizeof buffer);  // a monitor may overstate
    if (read == 0) return;
    deliver_reply_bytes(port, buffer, read);
    DWORD status = 0;
    parse_reply_status(port, buffer, read, &status);
}

// Reads until the query is answered or its time is up. While a polling
// thread runs, its own read (which also reports status back to the spooler)
// is used, so that no status-back frame bypasses the spooler.
void await_replies(const Lm2kEntries& lm, HANDLE port, PortState& state, DWORD start) {
    auto* record = static_cast<QORMON_PORT*>(port);
    for (;;) {
        const size_t missing = state.replies_missing();
        const DWORD elapsed = GetTickCount() - start;
        if (missing == 0 || elapsed >= kQueryTimeoutMs) return;
        if (qormon_has(record, QORMON_THREAD_ALIVE))
            lm.read_command(port, QORMON_READ_POLL);
        else
            read_direct(lm, port, missing, kQueryTimeoutMs - elapsed);
    }
}

// Asks the printer for its real-time status; the answer (or its absence)
// goes to the Status block and the spooler. True when the printer answered.
bool refresh_status(const Lm2kEntries& lm, HANDLE port, DWORD* status) {
    const bool answered = query_printer_status(lm, port, status);
    if (answered)
        report_to_spooler(port, *status);
    else
        report_no_answer_to_spooler(port, *status);
    return answered;
}



// Whether the printer answers now, on any kind of port: a serial line's
// clear-to-send only says that the port can take data.
bool printer_answers(const Lm2kEntries& lm, HANDLE port) {
    DWORD status = 0;
    return refresh_status(lm, port, &status);
}

DWORD read_replies(const Lm2kEntries& lm, HANDLE port) {
    PortHold hold(lm, port);
    qormon_set(static_cast<QORMON_PORT*>(port), QORMON_REPLY_WAIT);
    const DWORD read = lm.read_command(port, 0);
    qormon_clear(static_cast<QORMON_PORT*>(port), QORMON_REPLY_WAIT);
    return read;
}

DWORD send_staged_data(const Lm2kEntries& lm, HANDLE port) {
    PortHold hold(lm, port);
    return drain_data_block([&](const BYTE* bytes, DWORD count) {
        DWORD written = 0;
        lm.write_command(port, const_cast<LPBYTE>(bytes), count, TRUE, &written);
        return written;
    });
}

DWORD answer(const Lm2kEntries& lm, HANDLE port, Request request) {
    switch (request) {
    case Request::StartDoc:
        channel_request(lm, port, u"StartDocPort");
        return 1;
    case Request::EndDoc:
        channel_request(lm, port, u"EndDocPort");
        return 1;
    case Request::CheckConnection:
        return printer_answers(lm, port) ? 1 : 0;
    case Request::Dummy:
        ensure_status_block();
        return 0;
    case Request::GetStatus:
    case Request::GetHistory: {
        DWORD status = 0;
        refresh_status(lm, port, &status);
        return status;
    }
    case Request::GetData:
        return read_replies(lm, port);
    case Request::SendData:
        return send_staged_data(lm, port);
    case Request::None:
        break;
    }
    return 0;
}

}  // namespace

bool query_printer_status(const Lm2kEntries& lm, HANDLE port, DWORD* status) {
    PortHold hold(lm, port);
    auto state = port_state(port);
    RealtimeReplies replies{};
    const DWORD start = GetTickCount();
    state->begin_query(replies.size());
    const bool sent = write_direct(lm, port, kRealtimeQuery, sizeof kRealtimeQuery);
    if (sent) await_replies(lm, port, *state, start);
    if (!state->end_query(replies)) {
        store_no_answer();
        *status = last_printer_status();
        return false;
    }
    // Real-time replies do not carry the printing bit; keep the last one
    // that automatic status back reported.
    *status = status_from_realtime(replies) | (last_printer_status() & status::kPrinting);
    store_printer_status(*status);
    return true;
}

void hold_port(const Lm2kEntries& lm, HANDLE port) { channel_request(lm, port, u"StartDocPort"); }
void release_port(const Lm2kEntries& lm, HANDLE port) { channel_request(lm, port, u"EndDocPort"); }

bool is_cil_request(LPCWSTR value_name) { return request_of(value_name) != Request::None; }

BOOL answer_cil_request(const Lm2kEntries& lm, HANDLE port, LPCWSTR value_name, LPWSTR out, DWORD out_size,
                        LPDWORD returned) {
    const Request request = request_of(value_name);
    if (request == Request::None) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (returned) *returned = sizeof(DWORD);
    if (!out || out_size < sizeof(DWORD)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const DWORD word = answer(lm, port, request);
    std::memcpy(out, &word, sizeof word);
    return TRUE;
}

std::span<const BYTE> status_back_command() { return kStatusBackOn; }

bool enable_status_back(const Lm2kEntries& lm, HANDLE port) {
    return write_direct(lm, port, kStatusBackOn, sizeof kStatusBackOn);
}

}  // namespace qor::model
