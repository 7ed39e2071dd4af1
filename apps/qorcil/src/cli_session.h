// The printer qorcil works on and its QORCIL session: the library loaded by
// name and bound as the tools bind it, the session open for one command.
#pragma once

#include "qorcil_binding.h"

#include <cstdint>
#include <string>

// The first local printer whose driver is a "QOR ZEM" one; empty when none.
std::string DefaultPrinter();

class CliSession {
public:
    CliSession() = default;
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Loads QORCIL and picks the printer (empty: the default one). False
    // with a message.
    bool Load(const std::string& printer, std::string* error);
    // Opens the session; 0 or the result code.
    uint32_t Open();
    bool is_open() const { return handle_ != nullptr; }

    const qorcil::Entries& cil() const { return *binding_.operator->(); }
    HANDLE handle() const { return handle_; }
    const std::string& printer() const { return printer_; }

private:
    qorcil::Binding binding_;
    HANDLE handle_ = nullptr;
    std::string printer_;
};

// "PRINTER: what failed: meaning (code)"
std::string Failure(const std::string& printer, const std::string& what, uint32_t code);
