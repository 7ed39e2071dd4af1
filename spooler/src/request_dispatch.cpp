#include "request_dispatch.h"

namespace qor::spooler {
namespace {

using spool::Op;
using spool::Reader;
using spool::Writer;

Writer head(DWORD error) { return spool::reply_writer(error == 0, error); }
Writer status_head(DWORD status) { return spool::reply_writer(status, status); }

Writer bad_request() { return head(ERROR_INVALID_PARAMETER); }

template <class T>
Writer list_reply(DWORD error, const std::vector<T>& items) {
    Writer w = head(error);
    if (!error) spool::encode_list(w, items);
    return w;
}

}  // namespace

DispatchResult dispatch_request(Service& svc, Session& s, Op op, Reader& in) {
    DispatchResult r;
    switch (op) {
    case Op::OpenPrinter: {
        std::string name = in.str();
        in.u32();  // whether defaults were given; their data type is checked either way
        std::string datatype = in.str();
        in.bytes(spool::kMaxPrinterData);  // a per-handle device mode is not kept
        DWORD access = in.u32();
        if (!in.ok()) return {bad_request()};
        r.reply = head(s.open ? ERROR_INVALID_HANDLE : svc.open_printer(s, name, datatype, access));
        return r;
    }
    case Op::ClosePrinter: svc.close_printer(s); r.reply = head(0); return r;
    case Op::EnumPrinters: {
        DWORD flags = in.u32();
        std::string name = in.str();
        if (!in.ok()) return {bad_request()};
        std::vector<PrinterInfo> items;
        DWORD e = svc.enum_printers(flags, name, items);
        r.reply = list_reply(e, items);
        return r;
    }
    case Op::GetPrinter: {
        PrinterInfo info;
        DWORD e = svc.get_printer(s, info);
        r.reply = head(e);
        if (!e) spool::encode(r.reply, info);
        return r;
    }
    case Op::SetPrinter: {
        DWORD level = in.u32(), command = in.u32(), status = in.u32();
        PrinterInfo info;
        if (!spool::decode(in, info)) return {bad_request()};
        r.reply = head(svc.set_printer(s, level, command, status, info));
        return r;
    }
    case Op::SetJob: {
        DWORD job = in.u32(), command = in.u32();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.set_job(s, job, command));
        return r;
    }
    case Op::EnumJobs: {
        DWORD first = in.u32(), count = in.u32();
        if (!in.ok()) return {bad_request()};
        std::vector<JobInfo> jobs;
        DWORD e = svc.enum_jobs(s, first, count, jobs);
        r.reply = list_reply(e, jobs);
        return r;
    }
    case Op::GetPrinterData: {
        std::string name = in.str();
        DWORD size = in.u32(), caller_size = in.u32();
        if (!in.ok() || size > spool::kMaxPrinterData || caller_size > size)
            return {status_head(ERROR_INVALID_PARAMETER)};
        DWORD type = 0, needed = 0;
        std::vector<uint8_t> data;
        DWORD status = svc.get_printer_data(s, name, size, caller_size, type, data, needed);
        r.reply = status_head(status);
        r.reply.u32(type).u32(needed).bytes(data);
        return r;
    }
    case Op::SetPrinterData: {
        std::string name = in.str();
        DWORD type = in.u32();
        std::vector<uint8_t> data = in.bytes(spool::kMaxPrinterData);
        if (!in.ok()) return {status_head(ERROR_INVALID_PARAMETER)};
        r.reply = status_head(svc.set_printer_data(s, name, type, std::move(data)));
        return r;
    }
    case Op::GetDriverDirectory: {
        std::string env = in.str(), dir;
        if (!in.ok()) return {bad_request()};
        DWORD e = svc.driver_directory(env, dir);
        r.reply = head(e);
        if (!e) r.reply.str(dir);
        return r;
    }
    case Op::GetPrinterDriver: {
        std::string env = in.str();
        if (!in.ok()) return {bad_request()};
        DriverInfo d;
        DWORD e = svc.get_printer_driver(s, env, d);
        r.reply = head(e);
        if (!e) spool::encode(r.reply, d);
        return r;
    }
    case Op::EnumPrinterDrivers: {
        std::string env = in.str();
        if (!in.ok()) return {bad_request()};
        std::vector<DriverInfo> drivers;
        DWORD e = svc.enum_drivers(env, drivers);
        r.reply = list_reply(e, drivers);
        return r;
    }
    case Op::StartDoc: {
        std::string doc = in.str(), output = in.str(), datatype = in.str();
        if (!in.ok()) return {bad_request()};
        uint32_t job = 0;
        DWORD e = svc.start_doc(s, doc, output, datatype, job, r.pass_fd);
        r.reply = head(e);
        if (!e) r.reply.u32(job);
        return r;
    }
    case Op::EndDoc:
    case Op::AbortDoc: {
        DWORD pages = in.u32();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.end_doc(s, pages, op == Op::AbortDoc));
        return r;
    }
    case Op::AddPrinter: {
        PrinterInfo info;
        if (!spool::decode(in, info)) return {bad_request()};
        r.reply = head(s.open ? ERROR_INVALID_HANDLE : svc.add_printer(s, std::move(info)));
        return r;
    }
    case Op::DeletePrinter: r.reply = head(svc.delete_printer(s)); return r;
    case Op::AddDriver: {
        DriverInfo d;
        if (!spool::decode(in, d)) return {bad_request()};
        r.reply = head(svc.add_driver(std::move(d)));
        return r;
    }
    case Op::DeleteDriver: {
        std::string env = in.str(), name = in.str();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.delete_driver(env, name));
        return r;
    }
    case Op::AddPort: {
        std::string name = in.str(), monitor = in.str();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.add_port(name, monitor));
        return r;
    }
    case Op::DeletePort: {
        std::string name = in.str();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.delete_port(name));
        return r;
    }
    case Op::EnumPorts: {
        std::vector<PortInfo> ports;
        DWORD e = svc.enum_ports(ports);
        r.reply = list_reply(e, ports);
        return r;
    }
    case Op::ConfigurePort: {
        std::string name = in.str();
        bool has_device = in.u32() != 0;
        std::string device = in.str();
        bool has_settings = in.u32() != 0;
        std::string settings = in.str();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.configure_port(name, has_device ? &device : nullptr, has_settings ? &settings : nullptr));
        return r;
    }
    case Op::AddMonitor: {
        MonitorInfo m;
        if (!spool::decode(in, m)) return {bad_request()};
        r.reply = head(svc.add_monitor(m));
        return r;
    }
    case Op::DeleteMonitor: {
        std::string env = in.str(), name = in.str();
        if (!in.ok()) return {bad_request()};
        r.reply = head(svc.delete_monitor(env, name));
        return r;
    }
    case Op::EnumMonitors: {
        std::vector<MonitorInfo> monitors;
        DWORD e = svc.enum_monitors(monitors);
        r.reply = list_reply(e, monitors);
        return r;
    }
    case Op::Shutdown: r.reply = head(0); r.shutdown = true; return r;
    case Op::Ping: r.reply = head(0); return r;
    case Op::Reply:
    case Op::Count: break;
    }
    return {bad_request()};
}

}  // namespace qor::spooler
