#include "texts.h"

#include "common/status.h"
#include "qorcil.h"

#include "qor/spooler.h"

#include <cstdio>

namespace {

struct Named {
    uint32_t value;
    const char* text;
};

// Condition names follow the emulator's control names.
constexpr Named kConditions[] = {
    {QORCIL_STATUS_FATAL_ERROR, "fatal-error"},
    {QORCIL_STATUS_PAPER_JAM, "paper-jam"},
    {QORCIL_STATUS_PAPER_OUT, "paper-out"},
    {QORCIL_STATUS_MANUAL_FEED, "manual-feed"},
    {QORCIL_STATUS_OFFLINE, "offline"},
    {QORCIL_STATUS_PRINTING, "printing"},
    {QORCIL_STATUS_AUTO_RECOVERY_ERROR, "auto-recovery-error"},
    {QORCIL_STATUS_COVER_OPEN, "cover-open"},
    {QORCIL_STATUS_CUTTER_ERROR, "cutter-error"},
    {QORCIL_STATUS_PAPER_NEAR_END, "paper-near-end"},
};

constexpr Named kResults[] = {
    {QORCIL_OK, "success"},
    {QORCIL_E_NO_SUCH_PRINTER, "no local \"QOR ZEM\" printer has a name beginning with these four characters"},
    {QORCIL_E_EMPTY_HANDLE, "the spooler returned an empty printer handle"},
    {QORCIL_E_NOT_READY,
     "the printer is not ready for a transfer (printing, two-way communication off, direct printing, network "
     "printer, or not answering)"},
    {QORCIL_E_DIRECT_PRINTING, "the printer is set to print directly, bypassing the spooler"},
    {QORCIL_E_INVALID_SESSION, "the session handle is invalid"},
    {QORCIL_E_NULL_POINTER, "a required output pointer is null"},
    {QORCIL_E_NULL_NAME, "the printer name is null"},
    {QORCIL_E_BUSY_HERE, "a session is already open in this process"},
    {QORCIL_E_BUSY_ELSEWHERE, "a session is open elsewhere in the system"},
    {QORCIL_E_SEND_INCOMPLETE, "the send did not complete"},
    {QORCIL_E_NO_ANSWER, "the printer does not answer"},
    {QORCIL_E_END_REQUEST, "the end request failed when the session was closed"},
    {QORCIL_E_CLOSE_PRINTER, "closing the spooler printer handle failed"},
    {QORCIL_E_STATUS_BUSY, "a status query is already in progress"},
    {QORCIL_E_SEND_BUSY, "a send is already in progress"},
    {QORCIL_E_RECEIVE_BUSY, "a receive is already in progress"},
    {QORCIL_E_STATUS_LOCKED, "another request held the printer for more than 2 seconds (status)"},
    {QORCIL_E_DATA_LOCKED, "another request held the printer for more than 2 seconds (data)"},
    {QORCIL_E_NO_LIBRARY_STATE, "the library state is missing"},
    {QORCIL_E_GREETING_INCOMPLETE, "the session greeting was not sent completely"},
    {QORCIL_E_NOT_SUPPORTED, "not supported"},
    {ERROR_TIMEOUT, "the printer did not answer the query in time"},
    {ERROR_INVALID_PRINTER_NAME, "the spooler has no printer of this name"},
    {ERROR_ACCESS_DENIED, "access to the printer is denied"},
    {RPC_S_SERVER_UNAVAILABLE, "the print service cannot be reached"},
};

}  // namespace

std::string ResultMeaning(uint32_t code) {
    for (const auto& result : kResults)
        if (result.value == code) return result.text;
    return "platform error " + std::to_string(code);
}

std::vector<std::string> ConditionNames(uint32_t status) {
    std::vector<std::string> names;
    for (const auto& condition : kConditions)
        if (status & condition.value) names.emplace_back(condition.text);
    return names;
}

std::string ConditionMessage(const std::string& name) {
    for (const auto& condition : kConditions) {
        if (name != condition.text) continue;
        const auto* text = qor::status::condition_text(condition.value);
        return text && text->when_set ? text->when_set : "";
    }
    return "";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}
