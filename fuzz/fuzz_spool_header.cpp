// The spooled job's header record, read back from the spool folder at start.
#include "spool_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qor::spooler::SpoolJob job;
    if (qor::spooler::decode_spool_header(data, size, job)) {
        auto again = qor::spooler::encode_spool_header(job);
        qor::spooler::SpoolJob back;
        if (!qor::spooler::decode_spool_header(again.data(), again.size(), back) || back.printer != job.printer)
            __builtin_trap();
    }
    return 0;
}
