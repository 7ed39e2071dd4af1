// Reading and rendering the printers' state.
#include "printer_state.h"

#include "common/blocks_shared.h"
#include "common/status.h"
#include "common/status_names.h"
#include "qor/spooler.h"
#include "qor/support/json.h"

#include <cstring>

namespace qorcsp {

namespace {

constexpr char kFamily[] = "QOR ZEM-D";
// A request must not hang on a stuck Status block lock.
constexpr DWORD kBlockLockMs = 200;

std::optional<DWORD> status_block_word() {
    qor::blocks::MappedBlock block = qor::blocks::open_status_block();
    if (!block) return std::nullopt;
    qor::blocks::BlockLock lock(qor::names::kStatusMutex, kBlockLockMs);
    if (!lock.held()) return std::nullopt;
    const auto* status = block.as<qor::blocks::StatusBlock>();
    if (!(status->control & qor::status::kControlValid)) return std::nullopt;
    return status->status;
}

// Condition names as metric labels: "paper out" -> "paper_out".
std::string label(const std::string& name) {
    std::string out;
    for (char c : name) out += (c == ' ' || c == '-') ? '_' : c;
    return out;
}

std::string quoted_label(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool read_states(std::vector<PrinterState>& states) {
    states.clear();
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), DWORD(buffer.size()), &needed, &count))
        return false;
    std::optional<DWORD> block = status_block_word();
    auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        const char* driver = printers[i].pDriverName ? printers[i].pDriverName : "";
        if (std::strncmp(driver, kFamily, sizeof kFamily - 1) != 0) continue;
        PrinterState s;
        s.printer = printers[i].pPrinterName ? printers[i].pPrinterName : "";
        s.driver = driver;
        s.spooler_status = printers[i].Status;
        s.block_status = block;
        s.conditions = qor::status::printer_conditions(block ? *block : s.spooler_status);
        states.push_back(std::move(s));
    }
    return true;
}

std::string render_json(const std::vector<PrinterState>& states, bool list_ok) {
    auto quote = [](const std::string& text) { return qor::json_string(text); };
    std::string out = "{\"ok\":" + std::string(list_ok ? "true" : "false") + ",\"printers\":[";
    for (size_t i = 0; i < states.size(); ++i) {
        const PrinterState& s = states[i];
        if (i) out += ",";
        out += "{\"name\":" + quote(s.printer) + ",\"driver\":" + quote(s.driver) +
               ",\"status\":" + std::to_string(s.spooler_status) + ",\"block_status\":" +
               (s.block_status ? std::to_string(*s.block_status) : std::string("null")) + ",\"conditions\":[";
        for (size_t c = 0; c < s.conditions.size(); ++c) out += (c ? "," : "") + quote(s.conditions[c]);
        out += "]}";
    }
    return out + "]}\n";
}

std::string render_metrics(const std::vector<PrinterState>& states, bool list_ok) {
    std::string out = "qor_printer_list_ok " + std::string(list_ok ? "1" : "0") + "\n";
    for (const PrinterState& s : states) {
        std::string printer = "printer=" + quoted_label(s.printer);
        out += "qor_printer_status{" + printer + "} " + std::to_string(s.spooler_status) + "\n";
        for (const std::string& c : s.conditions)
            out += "qor_printer_condition{" + printer + ",condition=" + quoted_label(label(c)) + "} 1\n";
    }
    return out;
}

}  // namespace qorcsp
