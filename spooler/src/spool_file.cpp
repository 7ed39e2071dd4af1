#include "spool_file.h"

#include "qor/support/places.h"
#include "job_devmode.h"
#include "port_io.h"
#include "qor/spool/protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::spooler {
namespace {

constexpr uint32_t kVersion = 3;

// Copies `s` into a fixed field, cut at a character boundary so the stored
// text stays valid UTF-8.
template <size_t N>
void put(char (&field)[N], const std::string& s) {
    size_t n = std::min(s.size(), N - 1);
    while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, s.data(), n);
    field[n] = '\0';
}

template <size_t N>
bool get(const char (&field)[N], std::string& out) {
    const void* end = std::memchr(field, '\0', N);
    if (!end) return false;
    out.assign(field, static_cast<const char*>(end));
    return true;
}

std::string id_name(uint32_t id) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08u", id);
    return buf;
}

bool parse_id(const std::string& stem, uint32_t& id) {
    if (stem.size() != 8) return false;
    id = 0;
    for (char c : stem) {
        if (c < '0' || c > '9') return false;
        id = id * 10 + uint32_t(c - '0');
    }
    return id != 0;
}

}  // namespace

std::vector<uint8_t> encode_spool_header(const SpoolJob& job) {
    SpoolHeader h{};
    std::memcpy(h.magic, "QSHD", 4);
    h.version = kVersion;
    h.job_id = job.id, h.pages = job.pages, h.submitted_ms = job.submitted_ms, h.size = job.size;
    h.priority = job.priority;
    h.flags = job.flags;
    h.attempts = job.attempts, h.interruptions = job.interruptions, h.last_error = job.last_error;
    h.interrupted_ms = job.interrupted_ms;
    h.devmode_size = static_cast<uint32_t>(job.devmode.size());
    put(h.printer, job.printer), put(h.document, job.document), put(h.user, job.user);
    put(h.machine, job.machine), put(h.datatype, job.datatype), put(h.output_file, job.output_file);
    std::vector<uint8_t> out(sizeof h + job.devmode.size());
    std::memcpy(out.data(), &h, sizeof h);
    if (!job.devmode.empty()) std::memcpy(out.data() + sizeof h, job.devmode.data(), job.devmode.size());
    return out;
}

bool decode_spool_header(const uint8_t* data, size_t size, SpoolJob& job) {
    if (!data) return false;
    uint32_t version = 0;
    size_t record = 0;
    if (size == kSpoolHeaderV1Size) version = 1, record = size;
    else if (size == kSpoolHeaderV2Size) version = 2, record = size;
    else if (size >= sizeof(SpoolHeader)) version = kVersion, record = sizeof(SpoolHeader);
    else return false;
    SpoolHeader h{};
    std::memcpy(&h, data, record);
    if (std::memcmp(h.magic, "QSHD", 4) != 0 || h.version != version || h.job_id == 0) return false;
    if (version == kVersion && (h.devmode_size > spool::kMaxPrinterData || size - record != h.devmode_size))
        return false;
    job.id = h.job_id, job.pages = h.pages, job.submitted_ms = h.submitted_ms, job.size = h.size;
    job.priority = h.priority;
    job.flags = h.flags;
    job.attempts = h.attempts, job.interruptions = h.interruptions, job.last_error = h.last_error;
    job.interrupted_ms = h.interrupted_ms;
    job.devmode.assign(data + record, data + size);
    return devmode_acceptable(job.devmode) && get(h.printer, job.printer) && !job.printer.empty() &&
           get(h.document, job.document) && get(h.user, job.user) && get(h.machine, job.machine) &&
           get(h.datatype, job.datatype) && get(h.output_file, job.output_file);
}

uint64_t unix_time_ms() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

void record_interruption(SpoolJob& job, uint32_t error) {
    ++job.interruptions;
    job.last_error = error;
    job.interrupted_ms = unix_time_ms();
}

std::string spool_folder() { return places::root() + "/spool/PRINTERS"; }
std::string spool_data_path(uint32_t id) { return spool_folder() + "/" + id_name(id) + ".SPL"; }
std::string spool_header_path(uint32_t id) { return spool_folder() + "/" + id_name(id) + ".SHD"; }

int create_spool_data(uint32_t id) {
    places::ensure_dir(spool_folder(), 0700);  // documents are their owners' alone
    std::string path = spool_data_path(id);
    unlink(path.c_str());  // a leftover of an earlier run with the same id
    return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

uint32_t write_spool_header(const SpoolJob& job) {
    std::vector<uint8_t> bytes = encode_spool_header(job);
    std::string path = spool_header_path(job.id), temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return error_from_errno(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int e = errno;
            close(fd);
            unlink(temp.c_str());
            return error_from_errno(e);
        }
        done += static_cast<size_t>(n);
    }
    // Survives a restart of the service; no fsync, a crash of the machine
    // is not what this guards against.
    if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        unlink(temp.c_str());
        return error_from_errno(e);
    }
    return 0;
}

void remove_spool_files(uint32_t id) {
    unlink(spool_data_path(id).c_str());
    unlink(spool_header_path(id).c_str());
}

std::vector<SpoolJob> scan_spool_folder() {
    std::vector<SpoolJob> jobs;
    std::error_code ec;
    std::vector<std::filesystem::path> entries;
    for (const auto& e : std::filesystem::directory_iterator(spool_folder(), ec)) entries.push_back(e.path());
    for (const auto& path : entries) {
        uint32_t id = 0;
        std::string ext = path.extension().string();
        if (!parse_id(path.stem().string(), id)) {
            if (ext == ".tmp") std::filesystem::remove(path, ec);
            continue;
        }
        if (ext == ".SPL") {
            // Data without a header: the document was never finished.
            if (!std::filesystem::exists(spool_header_path(id), ec)) std::filesystem::remove(path, ec);
            continue;
        }
        if (ext != ".SHD") continue;
        SpoolJob job;
        // One byte more than the largest header tells an over-long file.
        std::vector<uint8_t> bytes(kMaxSpoolHeaderFile + 1);
        ssize_t n = -1;
        if (int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            size_t done = 0;
            for (;;) {
                ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) break;
                done += size_t(got);
                if (done == bytes.size()) break;
            }
            n = ssize_t(done);
            close(fd);
        }
        struct stat st{};
        bool ok = n > 0 && decode_spool_header(bytes.data(), size_t(n), job) && job.id == id &&
                  stat(spool_data_path(id).c_str(), &st) == 0 && uint64_t(st.st_size) == job.size;
        if (ok) jobs.push_back(std::move(job));
        else remove_spool_files(id);
    }
    std::sort(jobs.begin(), jobs.end(), [](const SpoolJob& a, const SpoolJob& b) { return a.id < b.id; });
    return jobs;
}

}  // namespace qor::spooler
