// Job ids unique for the life of the spool folder. The first id never
// handed out is kept in $QOR_ROOT/spool/next-job-id; ids are reserved ahead
// in blocks and the file is written durably (synced, then renamed) before
// the first id of a block is given, so a service killed at any moment never
// hands out an id twice. Not thread-safe; the service calls it under its lock.
#pragma once

#include "qor/base.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qor::spooler {

constexpr uint32_t kMaxJobId = 0x7FFFFFFF;

class JobIds {
public:
    // Reads the stored mark; `highest_on_disk` is the highest id of the jobs
    // found in the spool folder (they may be newer than the mark).
    void load(uint32_t highest_on_disk);
    // The next id for which `in_use` is false, or 0 with `error` set when
    // the reservation cannot be stored.
    uint32_t next(const std::function<bool(uint32_t)>& in_use, DWORD& error);

private:
    uint32_t next_ = 1;
    uint32_t reserved_ = 1;  // ids below this one are covered by the stored mark
};

std::string next_job_id_path();
// The stored mark: decimal digits and an optional line end. False when the
// text is anything else or out of range.
bool parse_job_id_mark(const char* text, size_t size, uint32_t& id);

}  // namespace qor::spooler
