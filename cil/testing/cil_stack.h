// The whole stack QORCIL talks through, for the end-to-end tests of the
// library and of its command-line client: a private qorspoold hosting the
// model module and QORLM2K, and a ZEM-D printer on COM1 pointed at a qoremu
// in the test's sandbox.
#pragma once

#include "spool_testing.h"

#include <string>
#include <vector>

namespace ciltest {

class PrinterStack {
public:
    static constexpr const char* kPrinter = "QOR ZEM-D Kiosk";
    static constexpr const char* kDriver = "QOR ZEM-D";

    PrinterStack();
    ~PrinterStack();
    PrinterStack(const PrinterStack&) = delete;
    PrinterStack& operator=(const PrinterStack&) = delete;

    bool ok() const { return ok_; }
    // One control command to the emulator; false on "error".
    bool control(const std::string& command, std::vector<std::string>* lines = nullptr);
    // A `stats` value ("" when missing).
    std::string stat(const std::string& key);
    // The emulator's four setting bytes, from `settings`.
    std::vector<int> setting_bytes();
    // The emulator's process ends; the port then has nobody behind it.
    void stop_emulator();

private:
    qorspool::PrivateSpooler spooler_;
    qortest::Child emulator_;
    std::string control_;
    bool ok_ = false;
};

}  // namespace ciltest
