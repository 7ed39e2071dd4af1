// Documents and jobs. StartDocPrinter hands the client the job's spool file
// (passed over the socket), so WritePrinter is a plain write into it; the
// service learns the document is complete at EndDocPrinter.
#include "spool_client.h"
#include "qor/guard.h"
#include "spool_client_pack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qor::spool {
namespace {

DWORD start_doc(HANDLE printer, DWORD level, const std::string& document, const std::string& output,
                const std::string& datatype) {
    auto h = lookup_printer_handle(printer);
    if (!h) return 0;
    std::lock_guard lock(h->mutex);
    if (level < 1 || level > 3) return fail<DWORD>(ERROR_INVALID_LEVEL);
    if (h->spool_fd >= 0) return fail<DWORD>(ERROR_INVALID_PRINTER_STATE);
    Response<requests::StartDoc> response;
    requests::StartDoc request{.document = document, .output = output, .datatype = datatype};
    if (!call(*h->conn, request, response) || !finish(response)) return 0;
    uint32_t job = response.reply.job;
    if (response.passed_fd < 0) return fail<DWORD>(RPC_S_SERVER_UNAVAILABLE);
    h->spool_fd = response.passed_fd;
    response.passed_fd = -1;
    h->job_id = job;
    h->pages = 0;
    h->in_page = false;
    SetLastError(ERROR_SUCCESS);
    return job;
}

// The service unlinks a job's spool file when the job is cancelled.
bool job_cancelled(int fd) {
    struct stat st{};
    return fstat(fd, &st) == 0 && st.st_nlink == 0;
}

DWORD error_from_write_errno(int e) {
    switch (e) {
    case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
    case EFBIG: return ERROR_DISK_FULL;
    default: return ERROR_WRITE_FAULT;
    }
}

template <class Request>
BOOL end_doc(HANDLE printer) {
    auto h = lookup_printer_handle(printer);
    if (!h) return FALSE;
    std::lock_guard lock(h->mutex);
    if (h->spool_fd < 0) return fail(ERROR_SPL_NO_STARTDOC);
    close(h->spool_fd);
    h->spool_fd = -1;
    h->job_id = 0;
    Response<Request> response;
    if (!call(*h->conn, Request{.pages = h->pages}, response)) return FALSE;
    return finish(response);
}

// Pages are counted here and reported with the end of the document.
BOOL page_mark(HANDLE printer, bool start) {
    auto h = lookup_printer_handle(printer);
    if (!h) return FALSE;
    std::lock_guard lock(h->mutex);
    if (h->spool_fd < 0) return fail(ERROR_SPL_NO_STARTDOC);
    if (!start && h->in_page) ++h->pages;
    h->in_page = start;
    return succeed();
}

SYSTEMTIME system_time(uint64_t unix_ms) {
    time_t secs = static_cast<time_t>(unix_ms / 1000);
    struct tm utc{};
    gmtime_r(&secs, &utc);
    return SYSTEMTIME{static_cast<WORD>(utc.tm_year + 1900), static_cast<WORD>(utc.tm_mon + 1),
                      static_cast<WORD>(utc.tm_wday), static_cast<WORD>(utc.tm_mday),
                      static_cast<WORD>(utc.tm_hour), static_cast<WORD>(utc.tm_min),
                      static_cast<WORD>(utc.tm_sec), static_cast<WORD>(unix_ms % 1000)};
}

// Levels 1 and 2 share their names, counters and time.
template <class Info>
void fill_job_common(Packer& p, Info* r, const JobInfo& j) {
    r->JobId = j.id;
    r->pPrinterName = p.str<char16_t>(j.printer);
    r->pMachineName = p.str<char16_t>(j.machine);
    r->pUserName = p.str<char16_t>(j.user);
    r->pDocument = p.str<char16_t>(j.document);
    r->pDatatype = p.str<char16_t>(j.datatype);
    r->pStatus = j.status_text.empty() ? nullptr : p.str<char16_t>(j.status_text);
    r->Status = j.status;
    r->Priority = j.priority;
    r->Position = j.position;
    r->TotalPages = j.total_pages;
    r->PagesPrinted = j.pages_printed;
    r->Submitted = system_time(j.submitted_ms);
}

void fill_job_1(Packer& p, JOB_INFO_1W* r, const JobInfo& j) { fill_job_common(p, r, j); }

void fill_job_2(Packer& p, JOB_INFO_2W* r, const JobInfo& j) {
    fill_job_common(p, r, j);
    r->pDevMode = j.devmode.empty() ? nullptr : static_cast<LPDEVMODEW>(p.blob(j.devmode.data(), j.devmode.size()));
    r->Size = static_cast<DWORD>(std::min<uint64_t>(j.size, 0xFFFFFFFFu));
}

}  // namespace
}  // namespace qor::spool

using namespace qor::spool;

extern "C" {

QORAPI DWORD StartDocPrinterW(HANDLE printer, DWORD level, LPBYTE doc_info) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        if (!doc_info) return fail<DWORD>(ERROR_INVALID_PARAMETER);
        const auto* d = reinterpret_cast<const DOC_INFO_1W*>(doc_info);
        return start_doc(printer, level, wide_to_utf8(d->pDocName), wide_to_utf8(d->pOutputFile),
                         wide_to_utf8(d->pDatatype));
    });
}

QORAPI DWORD StartDocPrinterA(HANDLE printer, DWORD level, LPBYTE doc_info) {
    return qor::guarded(DWORD(0), [&]() -> DWORD {
        if (!doc_info) return fail<DWORD>(ERROR_INVALID_PARAMETER);
        const auto* d = reinterpret_cast<const DOC_INFO_1A*>(doc_info);
        return start_doc(printer, level, ansi_to_utf8(d->pDocName), ansi_to_utf8(d->pOutputFile),
                         ansi_to_utf8(d->pDatatype));
    });
}

QORAPI BOOL StartPagePrinter(HANDLE printer) { return page_mark(printer, true); }

QORAPI BOOL EndPagePrinter(HANDLE printer) { return page_mark(printer, false); }

QORAPI BOOL WritePrinter(HANDLE printer, LPVOID buffer, DWORD size, LPDWORD written) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (written) *written = 0;
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        if (h->spool_fd < 0) return fail(ERROR_SPL_NO_STARTDOC);
        if (!written || (size && !buffer)) return fail(ERROR_INVALID_PARAMETER);
        if (job_cancelled(h->spool_fd)) return fail(ERROR_PRINT_CANCELLED);
        const auto* p = static_cast<const uint8_t*>(buffer);
        DWORD done = 0;
        while (done < size) {
            ssize_t n = write(h->spool_fd, p + done, size - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                *written = done;
                SetLastError(error_from_write_errno(errno));
                return FALSE;
            }
            done += static_cast<DWORD>(n);
        }
        *written = done;
        return succeed();
    });
}

QORAPI BOOL EndDocPrinter(HANDLE printer) { return end_doc<requests::EndDoc>(printer); }

QORAPI BOOL AbortPrinter(HANDLE printer) { return end_doc<requests::AbortDoc>(printer); }

QORAPI BOOL SetJobW(HANDLE printer, DWORD job_id, DWORD level, LPBYTE info, DWORD command) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        requests::SetJob request;
        request.job = job_id, request.command = command;
        if (level == 2) {
            if (!info) return fail(ERROR_INVALID_PARAMETER);
            JOB_INFO_2W record;
            std::memcpy(&record, info, sizeof record);
            if (record.pDevMode) {
                request.level = 2;
                request.devmode = devmode_bytes(record.pDevMode);
                if (request.devmode.empty()) return fail(ERROR_INVALID_PARAMETER);
            }
        } else if (level != 0 || info) {
            return fail(ERROR_INVALID_LEVEL);
        }
        Response<requests::SetJob> response;
        if (!call(*h->conn, request, response)) return FALSE;
        return finish(response);
    });
}

QORAPI BOOL GetJobW(HANDLE printer, DWORD job_id, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!needed) return fail(ERROR_INVALID_PARAMETER);
        *needed = 0;
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        if (level != 1 && level != 2) return fail(ERROR_INVALID_LEVEL);
        Response<requests::GetJob> response;
        if (!call(*h->conn, requests::GetJob{.job = job_id}, response) || !finish(response)) return FALSE;
        const std::vector<JobInfo> one{response.reply};
        BOOL ok = level == 1 ? pack_records<JOB_INFO_1W>(one, buffer, size, needed, fill_job_1)
                             : pack_records<JOB_INFO_2W>(one, buffer, size, needed, fill_job_2);
        return ok ? succeed() : FALSE;
    });
}

QORAPI BOOL ResetPrinterW(HANDLE printer, LPPRINTER_DEFAULTSW defaults) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        requests::ResetPrinter request;
        if (defaults && defaults->pDevMode) {
            request.devmode = devmode_bytes(defaults->pDevMode);
            if (request.devmode.empty()) return fail(ERROR_INVALID_PARAMETER);
        }
        Response<requests::ResetPrinter> response;
        if (!call(*h->conn, request, response)) return FALSE;
        return finish(response);
    });
}

QORAPI BOOL EnumJobsW(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
                      LPDWORD needed, LPDWORD returned) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!counters_ok(needed, returned)) return FALSE;
        auto h = lookup_printer_handle(printer);
        if (!h) return FALSE;
        std::lock_guard lock(h->mutex);
        if (level != 1) return fail(ERROR_INVALID_LEVEL);
        Response<requests::EnumJobs> response;
        if (!call(*h->conn, requests::EnumJobs{.first = first, .count = count}, response) || !finish(response))
            return FALSE;
        return finish_list(response.reply, returned, [&](const std::vector<JobInfo>& jobs) {
            return pack_records<JOB_INFO_1W>(jobs, buffer, size, needed, fill_job_1);
        });
    });
}

}  // extern "C"
