#include "platform_system.h"

#include "commands.h"
#include "host_serial_test.h"
#include "texts.h"

#include "qor/spooler.h"

#include <string_view>

namespace custom {

bool QorcilLibrary::bind() {
    if (binding_.loaded()) return true;
    std::string reason;
    return binding_.load(&reason);
}

void QorcilLibrary::release() { binding_.unload(); }

CilLink QorcilLibrary::link() const {
    if (!binding_.loaded()) return {};
    return {binding_->OpenQorPrinterA, binding_->CommQorPrinterData, binding_->CloseQorPrinter};
}

namespace {

std::string text(LPSTR s) { return s ? std::string(s) : std::string(); }

}  // namespace

std::vector<PrinterRecord> SpoolerSystem::local_printers() {
    std::vector<PrinterRecord> out;
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<PRINTER_INFO_2A> storage(needed / sizeof(PRINTER_INFO_2A) + 1);
        const DWORD size = DWORD(storage.size() * sizeof(PRINTER_INFO_2A));
        if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<LPBYTE>(storage.data()), size, &needed,
                          &returned)) {
            if (size_t(returned) > storage.size()) return out;
            for (DWORD i = 0; i < returned; ++i) {
                const PRINTER_INFO_2A& p = storage[i];
                out.push_back({text(p.pPrinterName), text(p.pPortName), text(p.pDriverName), p.Attributes, p.Status});
            }
            return out;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return out;
    }
    return out;
}

namespace {

void report(Host& host, const char* format) {
    std::string message = format;
    const size_t at = message.find("%d");
    message.replace(at, 2, std::to_string(GetLastError()));
    host.show({message, texts::kProgramTitle, Icon::Stop, Buttons::Ok, true});
}

}  // namespace

bool SpoolerSystem::send_raw_job(const std::string& printer, const std::vector<BYTE>& bytes, Host& host) {
    std::string name = printer;
    HANDLE handle = nullptr;
    if (!OpenPrinterA(name.data(), &handle, nullptr)) return false;
    std::string document = kRecoveryDocument, type = "RAW";
    DOC_INFO_1A doc{document.data(), nullptr, type.data()};
    bool ok = false;
    if (StartDocPrinterA(handle, 1, reinterpret_cast<LPBYTE>(&doc)) == 0) {
        report(host, "The communicate error1: %d    ");
    } else {
        if (!StartPagePrinter(handle)) {
            report(host, "The communicate error2: %d    ");
        } else {
            DWORD written = 0;
            std::vector<BYTE> data = bytes;
            const bool wrote = WritePrinter(handle, data.data(), DWORD(data.size()), &written) != 0;
            if (!wrote) report(host, "The communicate error3: %d    ");
            const bool paged = EndPagePrinter(handle) != 0;
            if (wrote && !paged) report(host, "The communicate error4: %d    ");
            ok = wrote && paged && written == data.size();
        }
        if (!EndDocPrinter(handle)) {
            report(host, "The communicate error5: %d    ");
            ok = false;
        }
    }
    if (!ClosePrinter(handle)) {
        report(host, "The communicate error7: %d    ");
        ok = false;
    }
    return ok;
}

void SpoolerSystem::purge_zem_printers() {
    for (const PrinterRecord& p : local_printers()) {
        if (std::string_view(p.driver).substr(0, 7) != "QOR ZEM") continue;
        std::string name = p.name;
        PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE handle = nullptr;
        if (!OpenPrinterA(name.data(), &handle, &defaults)) continue;
        SetPrinterA(handle, 0, nullptr, PRINTER_CONTROL_PURGE);
        ClosePrinter(handle);
    }
}

bool SpoolerSystem::host_port_config(const std::string& port, DCB* dcb) { return custom::host_port_config(port, dcb); }

}  // namespace custom
