#include "fake_spooler.h"

#include "qor/spooler.h"

#include <cstring>
#include <mutex>

namespace fakespooler {
namespace {

std::mutex lock;
Printer known;
bool installed = false;
std::vector<std::string> log;
int token;  // its address is the printer handle

void note(const std::string& call) {
    std::lock_guard<std::mutex> guard(lock);
    log.push_back(call);
}

// Packs `strings` after `head` bytes of record into `buffer`, as the spooler
// returns variable-size information.
BOOL pack(const std::vector<std::u16string>& strings, size_t head, LPBYTE buffer, DWORD size, LPDWORD needed,
          std::vector<LPWSTR>& pointers) {
    size_t total = head;
    for (const auto& s : strings) total += (s.size() + 1) * 2;
    if (needed) *needed = static_cast<DWORD>(total);
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    size_t at = head;
    for (const auto& s : strings) {
        std::memcpy(buffer + at, s.c_str(), (s.size() + 1) * 2);
        pointers.push_back(reinterpret_cast<LPWSTR>(buffer + at));
        at += (s.size() + 1) * 2;
    }
    return TRUE;
}

}  // namespace

void install(const Printer& printer) {
    std::lock_guard<std::mutex> guard(lock);
    known = printer;
    installed = true;
    log.clear();
}

std::vector<std::string> calls() {
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

}  // namespace fakespooler

using namespace fakespooler;

extern "C" {

QORAPI BOOL GetPrinterDriverDirectoryW(LPWSTR, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    std::lock_guard<std::mutex> guard(lock);
    if (level != 1 || !needed || !installed) {
        SetLastError(installed ? ERROR_INVALID_LEVEL : RPC_S_SERVER_UNAVAILABLE);
        return FALSE;
    }
    std::vector<LPWSTR> pointers;
    return pack({known.driver_folder}, 0, buffer, size, needed, pointers);
}

QORAPI BOOL OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW) {
    std::lock_guard<std::mutex> guard(lock);
    if (!printer || !name || !installed || std::u16string(name) != known.name) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *printer = &token;
    return TRUE;
}

QORAPI BOOL ClosePrinter(HANDLE printer) { return printer == &token; }

QORAPI BOOL GetPrinterW(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD needed) {
    if (needed) *needed = 0;
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
}

QORAPI BOOL GetPrinterDriverW(HANDLE printer, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    std::lock_guard<std::mutex> guard(lock);
    if (printer != &token || level != 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<LPWSTR> pointers;
    if (!pack({u"QOR ZEM-D", u"Linux", known.driver_path, known.data_file, u"QORCPUN7.DLL"}, sizeof(DRIVER_INFO_2W),
              buffer, size, needed, pointers))
        return FALSE;
    DRIVER_INFO_2W info{3, pointers[0], pointers[1], pointers[2], pointers[3], pointers[4]};
    std::memcpy(buffer, &info, sizeof(info));
    return TRUE;
}

// The graphics engine hands the job's device mode over before the job
// starts; the fake keeps no jobs, so there is nothing to record.
QORAPI BOOL ResetPrinterW(HANDLE printer, LPPRINTER_DEFAULTSW) { return printer == &token; }

QORAPI DWORD StartDocPrinterW(HANDLE printer, DWORD, LPBYTE) {
    if (printer != &token) return 0;
    note("StartDocPrinter");
    std::lock_guard<std::mutex> guard(lock);
    return known.job_id;
}

QORAPI BOOL StartPagePrinter(HANDLE printer) {
    note("StartPagePrinter");
    return printer == &token;
}

QORAPI BOOL EndPagePrinter(HANDLE printer) {
    note("EndPagePrinter");
    return printer == &token;
}

QORAPI BOOL EndDocPrinter(HANDLE printer) {
    note("EndDocPrinter");
    return printer == &token;
}

QORAPI BOOL AbortPrinter(HANDLE printer) {
    note("AbortPrinter");
    return printer == &token;
}

}  // extern "C"
