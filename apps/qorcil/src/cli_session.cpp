#include "cli_session.h"

#include "texts.h"

#include "qor/spooler.h"

#include <cstring>
#include <vector>

std::string DefaultPrinter() {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return {};
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (printers[i].pDriverName && printers[i].pPrinterName &&
            std::strncmp(printers[i].pDriverName, "QOR ZEM", 7) == 0)
            return printers[i].pPrinterName;
    return {};
}

std::string Failure(const std::string& printer, const std::string& what, uint32_t code) {
    return printer + ": " + what + ": " + ResultMeaning(code) + " (" + std::to_string(code) + ")";
}

CliSession::~CliSession() {
    if (handle_) cil().CloseQorPrinter(handle_);
}

bool CliSession::Load(const std::string& printer, std::string* error) {
    printer_ = printer.empty() ? DefaultPrinter() : printer;
    if (printer_.empty()) {
        *error = "no \"QOR ZEM\" printer is installed (name one with -P)";
        return false;
    }
    return binding_.load(error);
}

uint32_t CliSession::Open() {
    const DWORD code = cil().OpenQorPrinterA(printer_.c_str(), &handle_);
    if (code != 0) handle_ = nullptr;
    return code;
}
