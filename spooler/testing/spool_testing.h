// Test support for every module that prints: a private qorspoold in the
// test's sandbox (its own QOR_ROOT and QOR_RUNTIME_DIR), printers on FILE:
// or emulator ports, and the service stopped at the end so no process is
// left running.
//
//   qorspool::PrivateSpooler spooler;           // starts qorspoold
//   ASSERT_TRUE(spooler.ok());
//   spooler.add_printer("QOR ZEM-D", "FILE:", spooler.output_path());
//   ... print with OpenPrinterW / StartDocPrinterW / WritePrinter ...
//   EXPECT_EQ(spooler.output(), expected_bytes);
#pragma once

#include "qortest.h"

#include <chrono>
#include <string>

namespace qorspool {

// Set-up steps for whichever spooler the calls reach (PrivateSpooler's
// members use them; a test of the system spooler calls them directly).
bool install_driver(const std::string& driver, const std::string& monitor = "", const std::string& monitor_module = "");
bool install_printer(const std::string& printer, const std::string& port, const std::string& device,
                     const std::string& driver = "QOR Test Driver");
bool wait_printer_idle(const std::string& printer, std::chrono::milliseconds timeout = std::chrono::seconds(20));
// One RAW job of `data`; its job id, or 0 when any step failed.
unsigned long print_raw(const std::string& printer, const std::string& data);

class PrivateSpooler {
public:
    // Starts qorspoold from the test's bin folder. `retry_ms` is how long a
    // job that failed on its port waits before the next attempt.
    explicit PrivateSpooler(int retry_ms = 200);
    // Stops the service and waits for it; kills it if it does not end.
    ~PrivateSpooler();
    PrivateSpooler(const PrivateSpooler&) = delete;
    PrivateSpooler& operator=(const PrivateSpooler&) = delete;

    bool ok() const { return ok_; }
    pid_t pid() const { return child_.pid(); }

    // Installs a driver record (the files need not exist for raw printing).
    // `monitor`/`monitor_module`: a language monitor to register and name.
    bool add_driver(const std::string& driver, const std::string& monitor = "",
                    const std::string& monitor_module = "");
    // Adds `printer` on `port` (created when missing) with `driver`
    // (installed when missing). `device`: what stands behind the port, a
    // file path or "emu:<socket>"; empty keeps the port's configuration.
    bool add_printer(const std::string& printer, const std::string& port, const std::string& device,
                     const std::string& driver = "QOR Test Driver");

    // A file in the sandbox for a FILE: port, and what arrived there.
    std::string output_path() const;
    std::string output() const;
    // Waits until the printer has no jobs left.
    bool wait_idle(const std::string& printer, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    // Stops the service now (also done by the destructor).
    void stop();

private:
    qortest::Child child_;
    bool ok_ = false;
};

}  // namespace qorspool
