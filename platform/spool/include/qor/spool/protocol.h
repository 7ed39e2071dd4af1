// The wire protocol between the spooler client (platform layer) and
// qorspoold: length-prefixed frames on a Unix stream socket. A payload is a
// sequence of tagged fields (u32, u64, UTF-8 string, byte string), read back
// in order with every tag, length and bound checked, so a hostile peer can
// at worst get an error.
#pragma once

#include "qor/base.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qor::spool {

constexpr uint32_t kFrameMagic = 0x31505351;  // "QSP1"
constexpr uint32_t kMaxPayload = 8u << 20;      // larger frames close the connection
constexpr uint32_t kMaxString = 64u << 10;
constexpr uint32_t kMaxPrinterData = 1u << 20;  // one printer-data value or device mode
constexpr uint32_t kMaxListItems = 100000;

// File name of the service's socket and lock inside QOR_RUNTIME_DIR.
constexpr const char* kSocketName = "qorspoold.sock";
constexpr const char* kLockName = "qorspoold.lock";
constexpr const char* kStartLockName = "qorspoold.start";

struct FrameHeader {
    uint32_t magic;
    uint32_t op;      // Op for requests, Op::Reply for replies
    uint32_t length;  // payload bytes that follow
};
static_assert(sizeof(FrameHeader) == 12);
static_assert(offsetof(FrameHeader, magic) == 0);
static_assert(offsetof(FrameHeader, op) == 4);
static_assert(offsetof(FrameHeader, length) == 8);

enum class Op : uint32_t {
    Reply = 0,
    OpenPrinter,
    ClosePrinter,
    EnumPrinters,
    GetPrinter,
    SetPrinter,
    SetJob,
    EnumJobs,
    GetPrinterData,
    SetPrinterData,
    GetDriverDirectory,
    GetPrinterDriver,
    EnumPrinterDrivers,
    StartDoc,
    EndDoc,
    AbortDoc,
    AddPrinter,
    DeletePrinter,
    AddDriver,
    DeleteDriver,
    AddPort,
    DeletePort,
    EnumPorts,
    ConfigurePort,
    AddMonitor,
    DeleteMonitor,
    Shutdown,
    Ping,
    EnumMonitors,
    GetJob,
    ResetPrinter,
    Count  // not an operation
};

enum class HeaderCheck { Ok, BadMagic, BadOp, TooLarge };
HeaderCheck check_header(const FrameHeader& header);

enum class Tag : uint8_t { U32 = 1, U64 = 2, Str = 3, Bytes = 4 };

// Builds a payload.
class Writer {
public:
    Writer& u32(uint32_t value);
    Writer& u64(uint64_t value);
    Writer& str(std::string_view value);
    Writer& bytes(const void* data, size_t size);
    Writer& bytes(const std::vector<uint8_t>& data) { return bytes(data.data(), data.size()); }
    const std::vector<uint8_t>& payload() const { return out_; }

private:
    void raw(const void* data, size_t size);
    std::vector<uint8_t> out_;
};

// Reads a payload field by field. A missing field, a wrong tag, a length
// past the end, an over-long string or a string with a zero byte puts the
// reader into the failed state; from then on every read gives an empty
// value and ok() is false.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit Reader(const std::vector<uint8_t>& payload) : Reader(payload.data(), payload.size()) {}
    uint32_t u32();
    uint64_t u64();
    std::string str();
    std::vector<uint8_t> bytes(uint32_t limit = kMaxPayload);
    bool ok() const { return ok_; }
    bool at_end() const { return pos_ == size_; }
    void fail() { ok_ = false; }

private:
    bool take_tag(Tag tag);
    bool take(void* out, size_t size);
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// A record lists its fields once, in wire order, in a static
// `fields(self, visitor)` template; writing and reading both derive from
// that list. The visitor is called with u32, u64, flag (a u32 of 0 or 1),
// str, bytes (with the reader's size bound), strings (a counted list of
// strings, with a count bound) and list (a counted list of records, at most
// kMaxListItems).
class FieldWriter {
public:
    explicit FieldWriter(Writer& w) : w_(w) {}
    void u32(uint32_t v) { w_.u32(v); }
    void u64(uint64_t v) { w_.u64(v); }
    void flag(bool v) { w_.u32(v ? 1 : 0); }
    void str(const std::string& v) { w_.str(v); }
    void bytes(const std::vector<uint8_t>& v, uint32_t) { w_.bytes(v); }
    void strings(const std::vector<std::string>& v, uint32_t) {
        w_.u32(static_cast<uint32_t>(v.size()));
        for (const auto& s : v) w_.str(s);
    }
    template <class T>
    void list(const std::vector<T>& items) {
        w_.u32(static_cast<uint32_t>(items.size()));
        for (const auto& item : items) T::fields(item, *this);
    }

private:
    Writer& w_;
};

// Reads fields into a record; bounds every count and length, and stops
// filling lists once the reader has failed.
class FieldReader {
public:
    explicit FieldReader(Reader& r) : r_(r) {}
    void u32(uint32_t& v) { v = r_.u32(); }
    void u64(uint64_t& v) { v = r_.u64(); }
    void flag(bool& v) { v = r_.u32() != 0; }
    void str(std::string& v) { v = r_.str(); }
    void bytes(std::vector<uint8_t>& v, uint32_t limit) { v = r_.bytes(limit); }
    void strings(std::vector<std::string>& v, uint32_t limit) {
        uint32_t n = count(limit);
        v.clear();
        for (uint32_t i = 0; i < n && r_.ok(); ++i) v.push_back(r_.str());
    }
    template <class T>
    void list(std::vector<T>& items) {
        uint32_t n = count(kMaxListItems);
        items.clear();
        for (uint32_t i = 0; i < n && r_.ok(); ++i) {
            T item;
            T::fields(item, *this);
            if (r_.ok()) items.push_back(std::move(item));
        }
    }

private:
    uint32_t count(uint32_t limit) {
        uint32_t n = r_.u32();
        if (n > limit) r_.fail();
        return r_.ok() ? n : 0;
    }
    Reader& r_;
};

template <class R>
concept Record = requires(R& r, const R& c, FieldReader& in, FieldWriter& out) {
    R::fields(r, in);
    R::fields(c, out);
};

template <Record R>
void encode(Writer& w, const R& record) {
    FieldWriter v(w);
    R::fields(record, v);
}

// False (and the reader failed) when the fields do not decode.
template <Record R>
bool decode(Reader& r, R& record) {
    FieldReader v(r);
    R::fields(record, v);
    return r.ok();
}

// A list: a u32 count, then the records.
template <Record T>
void encode_list(Writer& w, const std::vector<T>& items) {
    FieldWriter(w).list(items);
}
template <Record T>
bool decode_list(Reader& r, std::vector<T>& items) {
    FieldReader(r).list(items);
    return r.ok();
}

constexpr uint32_t kMaxDependentFiles = 1024;
constexpr uint32_t kMaxSecurityDescriptor = 65536;

// Records that travel as field groups. Strings are UTF-8.
struct PrinterInfo {
    std::string name, share, port, driver, comment, location, sep_file, print_processor,
        datatype, parameters;
    std::vector<uint8_t> devmode;
    uint32_t attributes = 0, priority = 1, default_priority = 0, start_time = 0, until_time = 0,
             status = 0, jobs = 0, dns_timeout = 15000, tx_timeout = 45000;
    std::vector<uint8_t> security;  // self-relative descriptor (level 3)

    template <class Self, class V>
    static void fields(Self& p, V& v) {
        v.str(p.name), v.str(p.share), v.str(p.port), v.str(p.driver), v.str(p.comment);
        v.str(p.location), v.str(p.sep_file), v.str(p.print_processor), v.str(p.datatype);
        v.str(p.parameters), v.bytes(p.devmode, kMaxPrinterData);
        v.u32(p.attributes), v.u32(p.priority), v.u32(p.default_priority), v.u32(p.start_time);
        v.u32(p.until_time), v.u32(p.status), v.u32(p.jobs), v.u32(p.dns_timeout);
        v.u32(p.tx_timeout), v.bytes(p.security, kMaxSecurityDescriptor);
    }
    bool operator==(const PrinterInfo&) const = default;
};

struct JobInfo {
    uint32_t id = 0;
    std::string printer, machine, user, document, datatype, status_text;
    uint32_t status = 0, priority = 1, position = 0, total_pages = 0, pages_printed = 0;
    uint64_t submitted_ms = 0;  // Unix time
    uint64_t size = 0;
    std::vector<uint8_t> devmode;  // the job's device mode (GetJob only), empty when it has none

    template <class Self, class V>
    static void fields(Self& j, V& v) {
        v.u32(j.id), v.str(j.printer), v.str(j.machine), v.str(j.user), v.str(j.document);
        v.str(j.datatype), v.str(j.status_text), v.u32(j.status), v.u32(j.priority);
        v.u32(j.position), v.u32(j.total_pages), v.u32(j.pages_printed), v.u64(j.submitted_ms);
        v.u64(j.size), v.bytes(j.devmode, kMaxPrinterData);
    }
    bool operator==(const JobInfo&) const = default;
};

struct DriverInfo {
    uint32_t version = 3;
    std::string name, environment, driver_path, data_file, config_file, help_file, monitor,
        default_datatype;
    std::vector<std::string> dependent_files;

    template <class Self, class V>
    static void fields(Self& d, V& v) {
        v.u32(d.version), v.str(d.name), v.str(d.environment), v.str(d.driver_path);
        v.str(d.data_file), v.str(d.config_file), v.str(d.help_file), v.str(d.monitor);
        v.str(d.default_datatype), v.strings(d.dependent_files, kMaxDependentFiles);
    }
    bool operator==(const DriverInfo&) const = default;
};

struct PortInfo {
    std::string name, monitor, device, settings;

    template <class Self, class V>
    static void fields(Self& p, V& v) {
        v.str(p.name), v.str(p.monitor), v.str(p.device), v.str(p.settings);
    }
    bool operator==(const PortInfo&) const = default;
};

struct MonitorInfo {
    std::string name, environment, module;

    template <class Self, class V>
    static void fields(Self& m, V& v) {
        v.str(m.name), v.str(m.environment), v.str(m.module);
    }
    bool operator==(const MonitorInfo&) const = default;
};

// Socket I/O. Both send whole frames (retrying interruptions and short
// transfers) and never raise SIGPIPE. send_frame may pass one descriptor
// along (SCM_RIGHTS); recv_frame stores a received one in *received_fd
// (-1 when none; any extra descriptors are closed).
bool send_frame(int fd, Op op, const std::vector<uint8_t>& payload, int pass_fd = -1);
enum class RecvResult { Ok, Closed, Bad };
RecvResult recv_frame(int fd, FrameHeader& header, std::vector<uint8_t>& payload,
                      int* received_fd = nullptr);

// The socket path for the current environment.
std::string socket_path();

}  // namespace qor::spool
