#include "texts.h"

#include "common/status.h"
#include "common/status_names.h"
#include "qorcil.h"

#include "qor/spooler.h"


namespace {

struct Named {
    uint32_t value;
    const char* text;
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

namespace {

// The common condition names in the emulator's spelling: "paper out"
// becomes "paper-out".
std::string hyphenated(std::string name) {
    for (char& c : name)
        if (c == ' ') c = '-';
    return name;
}

}  // namespace

std::vector<std::string> ConditionNames(uint32_t status) {
    std::vector<std::string> names = qor::status::printer_conditions(status & qor::status::kAllPrinterBits);
    for (auto& name : names) name = hyphenated(name);
    return names;
}

std::string ConditionMessage(const std::string& name) {
    for (DWORD bit = 1; bit; bit <<= 1) {
        if (!(bit & qor::status::kAllPrinterBits) || ConditionNames(bit).front() != name) continue;
        const auto* text = qor::status::condition_text(bit);
        return text && text->when_set ? text->when_set : "";
    }
    return "";
}
