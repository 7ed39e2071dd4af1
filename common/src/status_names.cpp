// Names of the status bits. The printer word mixes the spooler's bits with
// this system's own (see status.h): where both define a bit, the printer's
// meaning is the one shown, since that is what the language monitor reports.
#include "common/status_names.h"

#include "common/status.h"

#include "qor/spooler.h"

#include <cstdio>

namespace qor::status {
namespace {

struct BitName {
    DWORD bit;
    const char* name;
};

constexpr BitName kPrinterBits[] = {
    {PRINTER_STATUS_PAUSED, "paused"},
    {kFatalError, "fatal error"},
    {PRINTER_STATUS_PENDING_DELETION, "being deleted"},
    {kPaperJam, "paper jam"},
    {kPaperOut, "paper out"},
    {kManualFeed, "manual feed"},
    {PRINTER_STATUS_PAPER_PROBLEM, "paper problem"},
    {kOffline, "offline"},
    {PRINTER_STATUS_IO_ACTIVE, "port active"},
    {PRINTER_STATUS_BUSY, "busy"},
    {kPrinting, "printing"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "output bin full"},
    {PRINTER_STATUS_NOT_AVAILABLE, "no answer"},
    {kAutoRecoverError, "auto-recovery error"},
    {PRINTER_STATUS_PROCESSING, "processing"},
    {PRINTER_STATUS_INITIALIZING, "initialising"},
    {PRINTER_STATUS_WARMING_UP, "warming up"},
    {PRINTER_STATUS_USER_INTERVENTION, "needs attention"},
    {PRINTER_STATUS_OUT_OF_MEMORY, "out of memory"},
    {kCoverOpen, "cover open"},
    {PRINTER_STATUS_SERVER_UNKNOWN, "server unknown"},
    {PRINTER_STATUS_POWER_SAVE, "power save"},
    {kCutterError, "cutter error"},
    {kPaperNearEnd, "paper near end"},
};
static_assert(kAutoRecoverError == PRINTER_STATUS_WAITING && kCoverOpen == PRINTER_STATUS_DOOR_OPEN);

constexpr BitName kJobBits[] = {
    {JOB_STATUS_PAUSED, "paused"},
    {JOB_STATUS_ERROR, "error"},
    {JOB_STATUS_DELETING, "being cancelled"},
    {JOB_STATUS_SPOOLING, "spooling"},
    {JOB_STATUS_PRINTING, "printing"},
    {JOB_STATUS_OFFLINE, "printer offline"},
    {JOB_STATUS_PAPEROUT, "paper out"},
    {JOB_STATUS_PRINTED, "printed"},
    {JOB_STATUS_DELETED, "cancelled"},
    {JOB_STATUS_BLOCKED_DEVQ, "blocked"},
    {JOB_STATUS_USER_INTERVENTION, "needs attention"},
    {JOB_STATUS_RESTART, "restarting"},
    {JOB_STATUS_COMPLETE, "complete"},
};

template <size_t N>
std::vector<std::string> names(DWORD status, const BitName (&table)[N]) {
    std::vector<std::string> out;
    for (DWORD bit = 1; bit; bit <<= 1) {
        if (!(status & bit)) continue;
        const char* name = nullptr;
        for (const auto& entry : table)
            if (entry.bit == bit) name = entry.name;
        if (name) {
            out.emplace_back(name);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", bit);
            out.emplace_back(hex);
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> printer_conditions(DWORD status) { return names(status, kPrinterBits); }

std::vector<std::string> job_conditions(DWORD status) { return names(status, kJobBits); }

std::string join(const std::vector<std::string>& names, const char* none) {
    if (names.empty()) return none;
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace qor::status
