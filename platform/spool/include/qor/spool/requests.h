// The operations of the client-service protocol, one record each: the
// request's fields, its reply record and how the reply's head is read. The
// client encodes requests and decodes replies from these records, qorspoold
// the other way round, so no layout is written twice.
#pragma once

#include "qor/spool/protocol.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

namespace qor::spool {

// What a reply's head carries. LastError: a BOOL result and the last error
// to set in the caller; the reply record follows only on success.
// Status: the call returns its status code (as the printer-data calls do),
// which is also the last error; the reply record always follows.
enum class ReplyKind { LastError, Status };

// Every reply's fixed head.
struct ReplyHead {
    uint32_t result = 0;
    uint32_t error = 0;
};

namespace requests {

// Records shared by several operations.
struct None {
    template <class Self, class V>
    static void fields(Self&, V&) {}
    bool operator==(const None&) const = default;
};

template <class T>
struct List {
    std::vector<T> items;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.list(r.items); }
    bool operator==(const List&) const = default;
};

// The operations that carry no fields.
template <Op O, class R = None>
struct Bare {
    static constexpr Op op = O;
    using Reply = R;
    template <class Self, class V>
    static void fields(Self&, V&) {}
    bool operator==(const Bare&) const = default;
};

// The operations that carry one record of the protocol.
template <Op O, class Info>
struct Carrying {
    static constexpr Op op = O;
    using Reply = None;
    Info info;
    template <class Self, class V>
    static void fields(Self& r, V& v) { Info::fields(r.info, v); }
    bool operator==(const Carrying&) const = default;
};

// The operations on an environment's drivers.
template <Op O, class R>
struct ForEnvironment {
    static constexpr Op op = O;
    using Reply = R;
    std::string environment;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.environment); }
    bool operator==(const ForEnvironment&) const = default;
};

// Removing a driver or a monitor: both are named within an environment.
template <Op O>
struct RemoveNamed {
    static constexpr Op op = O;
    using Reply = None;
    std::string environment, name;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.environment), v.str(r.name); }
    bool operator==(const RemoveNamed&) const = default;
};

// The end of a document, finished or abandoned, with the pages counted.
template <Op O>
struct EndDocument {
    static constexpr Op op = O;
    using Reply = None;
    uint32_t pages = 0;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.pages); }
    bool operator==(const EndDocument&) const = default;
};

struct OpenPrinter {
    static constexpr Op op = Op::OpenPrinter;
    using Reply = None;
    std::string name;
    bool has_defaults = false;  // the data type is checked either way
    std::string datatype;
    std::vector<uint8_t> devmode;  // kept with the handle; the device mode of the jobs it starts
    uint32_t access = 0;
    template <class Self, class V>
    static void fields(Self& r, V& v) {
        v.str(r.name), v.flag(r.has_defaults), v.str(r.datatype);
        v.bytes(r.devmode, kMaxPrinterData), v.u32(r.access);
    }
    bool operator==(const OpenPrinter&) const = default;
};

using ClosePrinter = Bare<Op::ClosePrinter>;

struct EnumPrinters {
    static constexpr Op op = Op::EnumPrinters;
    using Reply = List<PrinterInfo>;
    uint32_t flags = 0;
    std::string name;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.flags), v.str(r.name); }
    bool operator==(const EnumPrinters&) const = default;
};

using GetPrinter = Bare<Op::GetPrinter, PrinterInfo>;

struct SetPrinter {
    static constexpr Op op = Op::SetPrinter;
    using Reply = None;
    uint32_t level = 0, command = 0;
    uint32_t status = 0;  // the new condition word for PRINTER_CONTROL_SET_STATUS
    PrinterInfo info;     // what a level 2 or 5 call sets
    template <class Self, class V>
    static void fields(Self& r, V& v) {
        v.u32(r.level), v.u32(r.command), v.u32(r.status);
        PrinterInfo::fields(r.info, v);
    }
    bool operator==(const SetPrinter&) const = default;
};

// A command, and with level 2 the job's new device mode.
struct SetJob {
    static constexpr Op op = Op::SetJob;
    using Reply = None;
    uint32_t job = 0, command = 0;
    uint32_t level = 0;
    std::vector<uint8_t> devmode;
    template <class Self, class V>
    static void fields(Self& r, V& v) {
        v.u32(r.job), v.u32(r.command), v.u32(r.level), v.bytes(r.devmode, kMaxPrinterData);
    }
    bool operator==(const SetJob&) const = default;
};

struct GetJob {
    static constexpr Op op = Op::GetJob;
    using Reply = JobInfo;
    uint32_t job = 0;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.job); }
    bool operator==(const GetJob&) const = default;
};

// The handle's device mode for the jobs it starts from now on; empty: none.
struct ResetPrinter {
    static constexpr Op op = Op::ResetPrinter;
    using Reply = None;
    std::vector<uint8_t> devmode;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.bytes(r.devmode, kMaxPrinterData); }
    bool operator==(const ResetPrinter&) const = default;
};

struct EnumJobs {
    static constexpr Op op = Op::EnumJobs;
    using Reply = List<JobInfo>;
    uint32_t first = 0, count = 0;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.first), v.u32(r.count); }
    bool operator==(const EnumJobs&) const = default;
};

struct PrinterDataValue {
    uint32_t type = 0;
    uint32_t needed = 0;  // the value's whole size
    std::vector<uint8_t> data;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.type), v.u32(r.needed), v.bytes(r.data, kMaxPrinterData); }
    bool operator==(const PrinterDataValue&) const = default;
};

struct GetPrinterData {
    static constexpr Op op = Op::GetPrinterData;
    static constexpr ReplyKind reply_kind = ReplyKind::Status;
    using Reply = PrinterDataValue;
    std::string name;
    uint32_t size = 0;         // the largest value to send back
    uint32_t caller_size = 0;  // the caller's own buffer size, at most `size`
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.name), v.u32(r.size), v.u32(r.caller_size); }
    bool operator==(const GetPrinterData&) const = default;
};

struct SetPrinterData {
    static constexpr Op op = Op::SetPrinterData;
    static constexpr ReplyKind reply_kind = ReplyKind::Status;
    using Reply = None;
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.name), v.u32(r.type), v.bytes(r.data, kMaxPrinterData); }
    bool operator==(const SetPrinterData&) const = default;
};

struct DriverDirectory {
    std::string path;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.path); }
    bool operator==(const DriverDirectory&) const = default;
};

using GetDriverDirectory = ForEnvironment<Op::GetDriverDirectory, DriverDirectory>;
using GetPrinterDriver = ForEnvironment<Op::GetPrinterDriver, DriverInfo>;
using EnumPrinterDrivers = ForEnvironment<Op::EnumPrinterDrivers, List<DriverInfo>>;

// The job's spool file comes with the reply, as a passed descriptor.
struct StartedJob {
    uint32_t job = 0;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.u32(r.job); }
    bool operator==(const StartedJob&) const = default;
};

struct StartDoc {
    static constexpr Op op = Op::StartDoc;
    using Reply = StartedJob;
    std::string document, output, datatype;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.document), v.str(r.output), v.str(r.datatype); }
    bool operator==(const StartDoc&) const = default;
};

using EndDoc = EndDocument<Op::EndDoc>;
using AbortDoc = EndDocument<Op::AbortDoc>;
using AddPrinter = Carrying<Op::AddPrinter, PrinterInfo>;
using DeletePrinter = Bare<Op::DeletePrinter>;
using AddDriver = Carrying<Op::AddDriver, DriverInfo>;
using DeleteDriver = RemoveNamed<Op::DeleteDriver>;

struct AddPort {
    static constexpr Op op = Op::AddPort;
    using Reply = None;
    std::string name, monitor;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.name), v.str(r.monitor); }
    bool operator==(const AddPort&) const = default;
};

struct DeletePort {
    static constexpr Op op = Op::DeletePort;
    using Reply = None;
    std::string name;
    template <class Self, class V>
    static void fields(Self& r, V& v) { v.str(r.name); }
    bool operator==(const DeletePort&) const = default;
};

using EnumPorts = Bare<Op::EnumPorts, List<PortInfo>>;

// Either setting may be left as it is.
struct ConfigurePort {
    static constexpr Op op = Op::ConfigurePort;
    using Reply = None;
    std::string name;
    bool has_device = false;
    std::string device;
    bool has_settings = false;
    std::string settings;
    template <class Self, class V>
    static void fields(Self& r, V& v) {
        v.str(r.name), v.flag(r.has_device), v.str(r.device), v.flag(r.has_settings), v.str(r.settings);
    }
    bool operator==(const ConfigurePort&) const = default;
};

using AddMonitor = Carrying<Op::AddMonitor, MonitorInfo>;
using DeleteMonitor = RemoveNamed<Op::DeleteMonitor>;
using Shutdown = Bare<Op::Shutdown>;
using Ping = Bare<Op::Ping>;
using EnumMonitors = Bare<Op::EnumMonitors, List<MonitorInfo>>;

template <class... R>
struct TypeList {};

// Every operation, in the order of their numbers.
using All = TypeList<OpenPrinter, ClosePrinter, EnumPrinters, GetPrinter, SetPrinter, SetJob, EnumJobs,
                     GetPrinterData, SetPrinterData, GetDriverDirectory, GetPrinterDriver, EnumPrinterDrivers,
                     StartDoc, EndDoc, AbortDoc, AddPrinter, DeletePrinter, AddDriver, DeleteDriver, AddPort,
                     DeletePort, EnumPorts, ConfigurePort, AddMonitor, DeleteMonitor, Shutdown, Ping,
                     EnumMonitors, GetJob, ResetPrinter>;

template <class R>
concept Operation = requires {
    { R::op } -> std::convertible_to<Op>;
    typename R::Reply;
} && Record<R> && Record<typename R::Reply>;

template <class... R>
constexpr bool numbered_in_order(TypeList<R...>) {
    uint32_t next = 1;
    bool ordered = ((static_cast<uint32_t>(R::op) == next++) && ...);
    return ordered && next == static_cast<uint32_t>(Op::Count);
}
template <class... R>
constexpr bool all_operations(TypeList<R...>) {
    return (Operation<R> && ...);
}
static_assert(all_operations(All{}));
static_assert(numbered_in_order(All{}), "one record per Op, listed in the order of their numbers");

// Calls f(R{}) for every operation R, in order.
template <class F, class... R>
void for_each_of(TypeList<R...>, F& f) {
    (f(R{}), ...);
}
template <class F>
void for_each_operation(F f) {
    for_each_of(All{}, f);
}

}  // namespace requests

template <class Request>
constexpr ReplyKind reply_kind() {
    if constexpr (requires { Request::reply_kind; }) return Request::reply_kind;
    else return ReplyKind::LastError;
}

// A reply: `code` is the call's error (0 for success) or, for Status
// operations, its status.
template <requests::Operation Request>
Writer encode_reply(uint32_t code, const typename Request::Reply& reply) {
    constexpr bool status = reply_kind<Request>() == ReplyKind::Status;
    Writer w;
    w.u32(status ? code : code == 0).u32(code);
    if (status || code == 0) encode(w, reply);
    return w;
}

// False when the head, or the record the head says follows, does not decode.
template <requests::Operation Request>
bool decode_reply(Reader& r, ReplyHead& head, typename Request::Reply& reply) {
    head.result = r.u32();
    head.error = r.u32();
    if (!r.ok()) return false;
    if (reply_kind<Request>() == ReplyKind::Status || head.result != 0) return decode(r, reply);
    return true;
}

}  // namespace qor::spool
