// The spooler client calls and the model-module entries, defined in the test
// program so that QORLM2K binds to them instead of the platform's.
#include "scripted.h"

#include "qor/spooler.h"

#include <algorithm>
#include <cstring>

namespace lmtest {

ScriptedSpooler& spooler() {
    static ScriptedSpooler instance;
    return instance;
}

ScriptedModel& model() {
    static ScriptedModel instance;
    return instance;
}

void ScriptedSpooler::record(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
}

std::vector<std::string> ScriptedSpooler::snapshot() {
    std::lock_guard lock(mutex);
    return calls;
}

void ScriptedSpooler::reset() {
    std::lock_guard lock(mutex);
    calls.clear();
    open_full_ok = open_plain_ok = true;
}

void ScriptedModel::reset() {
    std::lock_guard lock(mutex);
    raw_chunks.clear();
    parsed_chunks.clear();
    zero_after_each_chunk = parse_reports = true;
}

size_t ScriptedSpooler::count(const std::string& call) {
    auto all = snapshot();
    return std::count(all.begin(), all.end(), call);
}

}  // namespace lmtest

using namespace lmtest;

namespace {

HANDLE const kPrinter = reinterpret_cast<HANDLE>(0x7070);

std::string narrow(LPCWSTR text) {
    std::string out;
    for (; text && *text; ++text) out += char(*text);
    return out;
}

}  // namespace

extern "C" {

QORAPI BOOL OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
    auto& s = spooler();
    const bool full = defaults && defaults->DesiredAccess == PRINTER_ALL_ACCESS;
    s.record(std::string(full ? "open-full " : "open-plain ") + narrow(name));
    if (full ? !s.open_full_ok : !s.open_plain_ok) return FALSE;
    *printer = kPrinter;
    return TRUE;
}

QORAPI BOOL ClosePrinter(HANDLE printer) {
    spooler().record(printer == kPrinter ? "close" : "close-bad");
    return printer == kPrinter;
}

QORAPI BOOL SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    if (printer != kPrinter) return FALSE;
    spooler().record("status " + std::to_string(reinterpret_cast<ULONG_PTR>(info)) + " level " +
                     std::to_string(level) + " command " + std::to_string(command));
    return TRUE;
}

QORAPI BOOL SetJobW(HANDLE printer, DWORD job_id, DWORD, LPBYTE, DWORD command) {
    if (printer != kPrinter) return FALSE;
    spooler().record("job " + std::to_string(job_id) + " " + std::to_string(command));
    return TRUE;
}

// Every chunk must be followed by a zero byte; the scripted status is the
// chunk's first byte.
QORAPI BOOL ParseStatusData(HANDLE, LPBYTE buffer, DWORD count, LPDWORD status) {
    auto& m = model();
    std::lock_guard lock(m.mutex);
    if (buffer[count] != 0) m.zero_after_each_chunk = false;
    m.parsed_chunks.emplace_back(buffer, buffer + count);
    *status = buffer[0];
    return m.parse_reports;
}

QORAPI BOOL SetStatusRawData(HANDLE, LPBYTE buffer, LPDWORD count) {
    auto& m = model();
    std::lock_guard lock(m.mutex);
    m.raw_chunks.emplace_back(buffer, buffer + *count);
    return TRUE;
}

}  // extern "C"
