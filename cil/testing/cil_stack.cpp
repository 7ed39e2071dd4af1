#include "cil_stack.h"

#include "qoremu/control_client.h"

#include <sstream>

namespace ciltest {

PrinterStack::PrinterStack() {
    if (!spooler_.ok()) return;
    const std::string dir = qortest::sandbox();
    const std::string socket = dir + "/zemd.sock";
    control_ = dir + "/zemd.ctl";
    emulator_ = qortest::Child::spawn("qoremu", {"--socket", socket, "--control", control_, "--tickets",
                                                 dir + "/tickets", "--state", dir + "/zemd.state"});
    ok_ = qoremu::wait_for_path(control_) && spooler_.add_driver(kDriver, "QOR ZEM-D Monitor", "QORZEMLM.DLL") &&
          spooler_.add_printer(kPrinter, "COM1", "emu:" + socket, kDriver);
}

PrinterStack::~PrinterStack() { spooler_.stop(); }

bool PrinterStack::control(const std::string& command, std::vector<std::string>* lines) {
    return qoremu::control_command(control_, command, lines);
}

std::string PrinterStack::stat(const std::string& key) {
    std::vector<std::string> lines;
    if (!control("stats", &lines)) return {};
    for (const auto& line : lines)
        if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

std::vector<int> PrinterStack::setting_bytes() {
    std::vector<std::string> lines;
    std::vector<int> bytes;
    if (!control("settings", &lines)) return bytes;
    for (const auto& line : lines) {
        if (line.rfind("setbank ", 0) != 0) continue;
        std::istringstream in(line.substr(8));
        std::string hex;
        while (in >> hex) bytes.push_back(std::stoi(hex, nullptr, 16));
    }
    return bytes;
}

void PrinterStack::stop_emulator() {
    control("quit");
    if (emulator_.wait(std::chrono::seconds(5)) < 0) emulator_.kill();
}

}  // namespace ciltest
