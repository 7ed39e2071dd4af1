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

// Records that travel as field groups. Strings are UTF-8.
struct PrinterInfo {
    std::string name, share, port, driver, comment, location, sep_file, print_processor,
        datatype, parameters;
    std::vector<uint8_t> devmode;
    uint32_t attributes = 0, priority = 1, default_priority = 0, start_time = 0, until_time = 0,
             status = 0, jobs = 0, dns_timeout = 15000, tx_timeout = 45000;
};

struct JobInfo {
    uint32_t id = 0;
    std::string printer, machine, user, document, datatype, status_text;
    uint32_t status = 0, priority = 1, position = 0, total_pages = 0, pages_printed = 0;
    uint64_t submitted_ms = 0;  // Unix time
    uint64_t size = 0;
};

struct DriverInfo {
    uint32_t version = 3;
    std::string name, environment, driver_path, data_file, config_file, help_file, monitor,
        default_datatype;
    std::vector<std::string> dependent_files;
};

struct PortInfo {
    std::string name, monitor, device, settings;
};

struct MonitorInfo {
    std::string name, environment, module;
};

void encode(Writer& w, const PrinterInfo& p);
void encode(Writer& w, const JobInfo& j);
void encode(Writer& w, const DriverInfo& d);
void encode(Writer& w, const PortInfo& p);
void encode(Writer& w, const MonitorInfo& m);
bool decode(Reader& r, PrinterInfo& p);
bool decode(Reader& r, JobInfo& j);
bool decode(Reader& r, DriverInfo& d);
bool decode(Reader& r, PortInfo& p);
bool decode(Reader& r, MonitorInfo& m);

// A list: a u32 count, then the records.
template <class T>
void encode_list(Writer& w, const std::vector<T>& items) {
    w.u32(static_cast<uint32_t>(items.size()));
    for (const auto& item : items) encode(w, item);
}
template <class T>
bool decode_list(Reader& r, std::vector<T>& items) {
    uint32_t count = r.u32();
    if (!r.ok() || count > kMaxListItems) return r.fail(), false;
    items.clear();
    for (uint32_t i = 0; i < count; ++i) {
        T item;
        if (!decode(r, item)) return false;
        items.push_back(std::move(item));
    }
    return true;
}

// Socket I/O. Both send whole frames (retrying interruptions and short
// transfers) and never raise SIGPIPE. send_frame may pass one descriptor
// along (SCM_RIGHTS); recv_frame stores a received one in *received_fd
// (-1 when none; any extra descriptors are closed).
bool send_frame(int fd, Op op, const std::vector<uint8_t>& payload, int pass_fd = -1);
enum class RecvResult { Ok, Closed, Bad };
RecvResult recv_frame(int fd, FrameHeader& header, std::vector<uint8_t>& payload,
                      int* received_fd = nullptr);

// A reply's fixed head: the call's result (a BOOL or a DWORD status) and
// the last error to set in the caller.
struct ReplyHead {
    uint32_t result = 0;
    uint32_t error = 0;
};
Writer reply_writer(uint32_t result, uint32_t error);

// The socket path for the current environment.
std::string socket_path();

}  // namespace qor::spool
