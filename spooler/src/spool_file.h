// Jobs on disk: <root>/spool/PRINTERS/<id>.SPL holds a job's data and
// <id>.SHD its header record, written once the document is complete. A job
// with both files survives a restart of the service; a data file without a
// header is an unfinished document and is removed.
#pragma once

#include "qor/spool/protocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qor::spooler {

// The header record, little-endian, strings UTF-8 and zero-terminated
// within their fields. Version 1 ended after output_file (1224 bytes);
// version 2 adds the job's sending history (1248 bytes); version 3 the
// size of the job's device mode, whose bytes follow the record.
struct SpoolHeader {
    char magic[4];  // "QSHD"
    uint32_t version;
    uint32_t job_id;
    uint32_t pages;
    uint64_t submitted_ms;
    uint64_t size;
    uint32_t priority;
    uint32_t flags;  // kSpool* below
    char printer[256];
    char document[256];
    char user[64];
    char machine[64];
    char datatype[32];
    char output_file[512];
    uint32_t attempts;        // sendings begun
    uint32_t interruptions;   // sendings cut short (printer lost, service stopped or killed)
    uint32_t last_error;      // what cut the last one short; 0 for a stop or a crash
    uint32_t reserved;
    uint64_t interrupted_ms;  // when (Unix time)
    uint32_t devmode_size;    // bytes of device mode after the record; 0: none
    uint32_t reserved2;
};
constexpr size_t kSpoolHeaderV1Size = 1224;
constexpr size_t kSpoolHeaderV2Size = 1248;
static_assert(sizeof(SpoolHeader) == 1256);
static_assert(offsetof(SpoolHeader, version) == 4);
static_assert(offsetof(SpoolHeader, job_id) == 8);
static_assert(offsetof(SpoolHeader, pages) == 12);
static_assert(offsetof(SpoolHeader, submitted_ms) == 16);
static_assert(offsetof(SpoolHeader, size) == 24);
static_assert(offsetof(SpoolHeader, priority) == 32);
static_assert(offsetof(SpoolHeader, flags) == 36);
static_assert(offsetof(SpoolHeader, printer) == 40);
static_assert(offsetof(SpoolHeader, document) == 296);
static_assert(offsetof(SpoolHeader, user) == 552);
static_assert(offsetof(SpoolHeader, machine) == 616);
static_assert(offsetof(SpoolHeader, datatype) == 680);
static_assert(offsetof(SpoolHeader, output_file) == 712);
static_assert(offsetof(SpoolHeader, attempts) == kSpoolHeaderV1Size);
static_assert(offsetof(SpoolHeader, interruptions) == 1228);
static_assert(offsetof(SpoolHeader, last_error) == 1232);
static_assert(offsetof(SpoolHeader, reserved) == 1236);
static_assert(offsetof(SpoolHeader, interrupted_ms) == 1240);
static_assert(offsetof(SpoolHeader, devmode_size) == kSpoolHeaderV2Size);
static_assert(offsetof(SpoolHeader, reserved2) == 1252);
// The largest header file: the record and the largest device mode.
constexpr size_t kMaxSpoolHeaderFile = sizeof(SpoolHeader) + spool::kMaxPrinterData;

// The job's data has reached the printer; only the monitor's report that
// it was printed was outstanding. Such a job counts as printed after a
// restart and is not sent again.
constexpr uint32_t kSpoolSent = 0x1;
// Sending began: the printer may hold the front of the job, so the next
// attempt first brings it to a known state and sends the job again whole.
constexpr uint32_t kSpoolStarted = 0x2;
// Printed and kept (the printer keeps printed jobs); not sent again unless
// restarted.
constexpr uint32_t kSpoolPrinted = 0x4;

struct SpoolJob {
    uint32_t id = 0;
    uint32_t pages = 0;
    uint32_t priority = 1;
    uint32_t flags = 0;
    uint64_t submitted_ms = 0;
    uint64_t size = 0;
    uint32_t attempts = 0, interruptions = 0, last_error = 0;
    uint64_t interrupted_ms = 0;
    std::string printer, document, user, machine, datatype, output_file;
    std::vector<uint8_t> devmode;  // empty: the job has none
};

// Record <-> job. Decoding checks the size, signature, version and that
// every string ends inside its field; a version 1 record has no history,
// versions 1 and 2 no device mode. A version 3 file is exactly the record
// and the device mode it announces, which must be an acceptable one.
std::vector<uint8_t> encode_spool_header(const SpoolJob& job);
bool decode_spool_header(const uint8_t* data, size_t size, SpoolJob& job);

// Now, as the header's times are kept (Unix time in milliseconds).
uint64_t unix_time_ms();
// An attempt at sending the job ended before its end: `error` is what cut
// it short, 0 for a stop or a crash of the service.
void record_interruption(SpoolJob& job, uint32_t error);

std::string spool_folder();
std::string spool_data_path(uint32_t id);
std::string spool_header_path(uint32_t id);

// Creates the job's data file; the descriptor or -1 (errno set).
int create_spool_data(uint32_t id);
// Writes the header atomically (temporary file, then rename). 0 or error.
uint32_t write_spool_header(const SpoolJob& job);
void remove_spool_files(uint32_t id);
// Complete jobs found on disk, in id order; unfinished ones are removed.
std::vector<SpoolJob> scan_spool_folder();

}  // namespace qor::spooler
