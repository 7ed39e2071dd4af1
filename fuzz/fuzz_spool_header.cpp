// What the service reads back from the spool folder at start: a job's
// header record with the device mode after it, and the mark of the next
// job id; and the check of a device mode a client hands in.
#include "job_devmode.h"
#include "job_ids.h"
#include "spool_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qor::spooler::SpoolJob job;
    if (qor::spooler::decode_spool_header(data, size, job)) {
        auto again = qor::spooler::encode_spool_header(job);
        qor::spooler::SpoolJob back;
        if (!qor::spooler::decode_spool_header(again.data(), again.size(), back) || back.printer != job.printer)
            __builtin_trap();
        if (!qor::spooler::devmode_acceptable(job.devmode) || back.devmode != job.devmode) __builtin_trap();
    }
    qor::spooler::devmode_acceptable(std::vector<uint8_t>(data, data + size));
    uint32_t id = 0;
    if (qor::spooler::parse_job_id_mark(reinterpret_cast<const char*>(data), size, id) &&
        (id == 0 || id > qor::spooler::kMaxJobId))
        __builtin_trap();
    return 0;
}
