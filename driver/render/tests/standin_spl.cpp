// A stand-in for the spooler-side module, loaded by QORKPDN5 in tests: it
// records every call and the bytes of every write under $QOR_ROOT/standin/.
//   calls.txt   one line per call: "start <job id>", "write <length>",
//               "end", "close", "abort"
//   stream.bin  the written bytes, one write after the other
// QOR_STANDIN_FAIL_WRITE=<n> makes the n-th write (from 1) fail;
// QOR_STANDIN_NO_JOB=1 makes DrvSplStartDoc return no job;
// QOR_STANDIN_DISCARD=1 records nothing (for benchmarks).
#include "qor/base.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

struct Job {
    unsigned writes = 0;
};

std::string folder() {
    const char* root = std::getenv("QOR_ROOT");
    std::string path = std::string(root ? root : "/tmp") + "/standin";
    mkdir(path.c_str(), 0700);
    return path;
}

bool discarding() {
    const char* discard = std::getenv("QOR_STANDIN_DISCARD");
    return discard && *discard == '1';
}

void log_call(const std::string& line) {
    if (discarding()) return;
    std::string path = folder() + "/calls.txt";
    if (FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

}  // namespace

extern "C" {

QORAPI HANDLE DrvSplStartDoc(HANDLE printer, DWORD job_id) {
    log_call("start " + std::to_string(job_id) + (printer ? " printer" : " no-printer"));
    const char* no_job = std::getenv("QOR_STANDIN_NO_JOB");
    if (no_job && *no_job == '1') return nullptr;
    return new Job;
}

QORAPI BOOL DrvSplWritePrinter(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD written) {
    auto* job = static_cast<Job*>(handle);
    if (!job) {
        log_call("write-without-job " + std::to_string(length));
        return FALSE;
    }
    ++job->writes;
    const char* fail = std::getenv("QOR_STANDIN_FAIL_WRITE");
    if (fail && std::strtoul(fail, nullptr, 10) == job->writes) {
        log_call("write-failed " + std::to_string(length));
        if (written) *written = 0;
        return FALSE;
    }
    log_call("write " + std::to_string(length));
    if (written) *written = length;
    if (discarding()) return TRUE;
    std::string path = folder() + "/stream.bin";
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fwrite(buffer, 1, length, file);
        std::fclose(file);
    }
    return TRUE;
}

QORAPI BOOL DrvSplEndDoc(HANDLE) {
    log_call("end");
    return TRUE;
}

QORAPI BOOL DrvSplAbort(HANDLE) {
    log_call("abort");
    return TRUE;
}

QORAPI void DrvSplClose(HANDLE handle) {
    log_call("close");
    delete static_cast<Job*>(handle);
}

}  // extern "C"
