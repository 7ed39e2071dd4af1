#include "monitor_printer.h"

#include "notify_settings.h"

#include "qoremu/control_client.h"

#include "qor/registry.h"
#include "qor/spooler.h"

namespace qorsmtest {

bool MonitorPrinter::start(qorspool::PrivateSpooler& spooler, const std::string& folder) {
    spooler_ = &spooler;
    folder_ = folder;
    control_ = folder + "/zemd.ctl";
    const std::string socket = folder + "/zemd.sock";
    emulator_ = qortest::Child::spawn(
        "qoremu", {"--socket", socket, "--control", control_, "--tickets", tickets(), "--state", folder + "/zemd.state"});
    return spooler.ok() && qoremu::wait_for_path(control_) &&
           spooler.add_driver("QOR ZEM-D510", "QOR ZEM-D Monitor", "QORZEMLM.DLL") &&
           spooler.add_printer("ZEM", "USB001", "emu:" + socket, "QOR ZEM-D510");
}

bool MonitorPrinter::print_one_job() {
    std::u16string name = u"ZEM", document = u"job", type = u"RAW";
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) return false;
    DOC_INFO_1W info{document.data(), nullptr, type.data()};
    BYTE text[] = "monitor\n\x1dV";  // the string's own NUL ends the cut command
    DWORD written = 0;
    const bool sent = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info)) != 0 &&
                      WritePrinter(printer, text, sizeof text, &written) && EndDocPrinter(printer);
    ClosePrinter(printer);
    return sent && qoremu::wait_for_tickets(tickets(), 1) && spooler_->wait_idle("ZEM");
}

bool MonitorPrinter::control(const std::string& command, std::string* error) {
    std::string ignored;
    return qoremu::control_command(control_, command, nullptr, error ? error : &ignored);
}

void WriteMasks(DWORD raised, DWORD cleared) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, qor::statmon::kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, "1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&raised), sizeof raised);
    RegSetValueExA(key, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&cleared), sizeof cleared);
    RegCloseKey(key);
}

}  // namespace qorsmtest
