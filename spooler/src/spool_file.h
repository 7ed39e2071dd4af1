// Jobs on disk: <root>/spool/PRINTERS/<id>.SPL holds a job's data and
// <id>.SHD its header record, written once the document is complete. A job
// with both files survives a restart of the service; a data file without a
// header is an unfinished document and is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qor::spooler {

// The header record, little-endian, strings UTF-8 and zero-terminated
// within their fields.
struct SpoolHeader {
    char magic[4];  // "QSHD"
    uint32_t version;
    uint32_t job_id;
    uint32_t pages;
    uint64_t submitted_ms;
    uint64_t size;
    uint32_t priority;
    uint32_t flags;  // kSpoolSent: all data went to the printer
    char printer[256];
    char document[256];
    char user[64];
    char machine[64];
    char datatype[32];
    char output_file[512];
};
static_assert(sizeof(SpoolHeader) == 1224);
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

// The job's data has gone to the printer; only the monitor's report that
// it was printed was outstanding. Such a job is not sent again after a
// restart.
constexpr uint32_t kSpoolSent = 0x1;

struct SpoolJob {
    uint32_t id = 0;
    uint32_t pages = 0;
    uint32_t priority = 1;
    uint32_t flags = 0;
    uint64_t submitted_ms = 0;
    uint64_t size = 0;
    std::string printer, document, user, machine, datatype, output_file;
};

// Record <-> job. Decoding checks the size, signature, version and that
// every string ends inside its field.
std::vector<uint8_t> encode_spool_header(const SpoolJob& job);
bool decode_spool_header(const uint8_t* data, size_t size, SpoolJob& job);

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
