#include "request_dispatch.h"

#include "qor/spool/requests.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace qor::spooler {
namespace {

namespace rq = spool::requests;
using spool::Op;
using spool::Reader;

// What a handler may use and set besides its request and reply.
struct Call {
    Service& service;
    Session& session;
    int pass_fd = -1;
    bool shutdown = false;
};

// One handler per operation: runs the decoded request and fills the reply.
// The result is the call's error (0 for success), or its status for the
// printer-data calls.

DWORD handle(Call& c, rq::OpenPrinter& r, rq::None&) {
    if (c.session.open) return ERROR_INVALID_HANDLE;
    return c.service.open_printer(c.session, r.name, r.datatype, std::move(r.devmode), r.access);
}

DWORD handle(Call& c, rq::ClosePrinter&, rq::None&) {
    c.service.close_printer(c.session);
    return 0;
}

DWORD handle(Call& c, rq::EnumPrinters& r, rq::List<PrinterInfo>& out) {
    return c.service.enum_printers(r.flags, r.name, out.items);
}

DWORD handle(Call& c, rq::GetPrinter&, PrinterInfo& out) { return c.service.get_printer(c.session, out); }

DWORD handle(Call& c, rq::SetPrinter& r, rq::None&) {
    return c.service.set_printer(c.session, r.level, r.command, r.status, r.info);
}

DWORD handle(Call& c, rq::SetJob& r, rq::None&) {
    if (r.level != 0 && r.level != 2) return ERROR_INVALID_LEVEL;
    return c.service.set_job(c.session, r.job, r.command, r.level == 2 ? &r.devmode : nullptr);
}

DWORD handle(Call& c, rq::GetJob& r, JobInfo& out) { return c.service.get_job(c.session, r.job, out); }

DWORD handle(Call& c, rq::ResetPrinter& r, rq::None&) {
    return c.service.reset_printer(c.session, std::move(r.devmode));
}

DWORD handle(Call& c, rq::EnumJobs& r, rq::List<JobInfo>& out) {
    return c.service.enum_jobs(c.session, r.first, r.count, out.items);
}

DWORD handle(Call& c, rq::GetPrinterData& r, rq::PrinterDataValue& out) {
    if (r.size > spool::kMaxPrinterData || r.caller_size > r.size) return ERROR_INVALID_PARAMETER;
    return c.service.get_printer_data(c.session, r.name, r.size, r.caller_size, out.type, out.data, out.needed);
}

DWORD handle(Call& c, rq::SetPrinterData& r, rq::None&) {
    return c.service.set_printer_data(c.session, r.name, r.type, std::move(r.data));
}

DWORD handle(Call& c, rq::GetDriverDirectory& r, rq::DriverDirectory& out) {
    return c.service.driver_directory(r.environment, out.path);
}

DWORD handle(Call& c, rq::GetPrinterDriver& r, DriverInfo& out) {
    return c.service.get_printer_driver(c.session, r.environment, out);
}

DWORD handle(Call& c, rq::EnumPrinterDrivers& r, rq::List<DriverInfo>& out) {
    return c.service.enum_drivers(r.environment, out.items);
}

DWORD handle(Call& c, rq::StartDoc& r, rq::StartedJob& out) {
    return c.service.start_doc(c.session, r.document, r.output, r.datatype, out.job, c.pass_fd);
}

DWORD handle(Call& c, rq::EndDoc& r, rq::None&) { return c.service.end_doc(c.session, r.pages, false); }

DWORD handle(Call& c, rq::AbortDoc& r, rq::None&) { return c.service.end_doc(c.session, r.pages, true); }

DWORD handle(Call& c, rq::AddPrinter& r, rq::None&) {
    if (c.session.open) return ERROR_INVALID_HANDLE;
    return c.service.add_printer(c.session, std::move(r.info));
}

DWORD handle(Call& c, rq::DeletePrinter&, rq::None&) { return c.service.delete_printer(c.session); }

DWORD handle(Call& c, rq::AddDriver& r, rq::None&) { return c.service.add_driver(std::move(r.info)); }

DWORD handle(Call& c, rq::DeleteDriver& r, rq::None&) { return c.service.delete_driver(r.environment, r.name); }

DWORD handle(Call& c, rq::AddPort& r, rq::None&) { return c.service.add_port(r.name, r.monitor); }

DWORD handle(Call& c, rq::DeletePort& r, rq::None&) { return c.service.delete_port(r.name); }

DWORD handle(Call& c, rq::EnumPorts&, rq::List<PortInfo>& out) { return c.service.enum_ports(out.items); }

DWORD handle(Call& c, rq::ConfigurePort& r, rq::None&) {
    return c.service.configure_port(r.name, r.has_device ? &r.device : nullptr,
                                    r.has_settings ? &r.settings : nullptr);
}

DWORD handle(Call& c, rq::AddMonitor& r, rq::None&) { return c.service.add_monitor(r.info); }

DWORD handle(Call& c, rq::DeleteMonitor& r, rq::None&) { return c.service.delete_monitor(r.environment, r.name); }

DWORD handle(Call&, rq::Ping&, rq::None&) { return 0; }

DWORD handle(Call& c, rq::Shutdown&, rq::None&) {
    c.shutdown = true;
    return 0;
}

DWORD handle(Call& c, rq::EnumMonitors&, rq::List<MonitorInfo>& out) { return c.service.enum_monitors(out.items); }

// Requests that change what the machine has, beyond one printer's own
// rights: the administrator's alone.
template <class Request, class... Among>
constexpr bool kOneOf = (std::is_same_v<Request, Among> || ...);
template <class Request>
constexpr bool kAdministers =
    kOneOf<Request, rq::AddPrinter, rq::AddDriver, rq::DeleteDriver, rq::AddPort,
           rq::DeletePort, rq::ConfigurePort, rq::AddMonitor, rq::DeleteMonitor, rq::Shutdown>;

bool admitted(const Session& session, bool administers, bool ping) {
    if (ping) return true;  // whether the service runs is no secret
    return session.member && (!administers || session.administrator);
}

// Decodes the request, runs its handler and encodes the reply.
template <class Request>
DispatchResult serve(Service& service, Session& session, Reader& in) {
    Request request;
    typename Request::Reply reply;
    if (!spool::decode(in, request)) return {spool::encode_reply<Request>(ERROR_INVALID_PARAMETER, reply)};
    if (!admitted(session, kAdministers<Request>, std::is_same_v<Request, rq::Ping>))
        return {spool::encode_reply<Request>(ERROR_ACCESS_DENIED, reply)};
    Call call{service, session};
    DWORD code = handle(call, request, reply);
    return {spool::encode_reply<Request>(code, reply), call.pass_fd, call.shutdown};
}

using Serve = DispatchResult (*)(Service&, Session&, Reader&);
constexpr size_t kOps = static_cast<size_t>(Op::Count);

template <class... R>
constexpr std::array<Serve, kOps> make_table(rq::TypeList<R...>) {
    std::array<Serve, kOps> table{};  // Op::Reply is no request
    ((table[static_cast<size_t>(R::op)] = &serve<R>), ...);
    return table;
}

constexpr std::array<Serve, kOps> kTable = make_table(rq::All{});
static_assert(std::all_of(kTable.begin() + 1, kTable.end(), [](Serve s) { return s != nullptr; }),
              "every operation has a handler");

}  // namespace

DispatchResult dispatch_request(Service& svc, Session& s, Op op, Reader& in) {
    auto index = static_cast<size_t>(op);
    if (index >= kTable.size() || !kTable[index]) return {spool::encode_reply<rq::Ping>(ERROR_INVALID_PARAMETER, {})};
    return kTable[index](svc, s, in);
}

}  // namespace qor::spooler
