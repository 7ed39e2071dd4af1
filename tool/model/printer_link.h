// The connection the Set operation opens to the printer: the interface
// library bound by name, one session, one send.
#pragma once

#include "qorcil_binding.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tool {

class PrinterLink {
public:
    virtual ~PrinterLink() = default;
    virtual bool bind() = 0;
    virtual bool start(const std::string& printer) = 0;
    virtual bool send(const uint8_t* data, size_t length) = 0;
    // True when the session was ended (or none was open).
    virtual bool end() = 0;
    virtual void unbind() = 0;
};

// Through "QORCIL.DLL", loaded for each operation.
class CilLink : public PrinterLink {
public:
    ~CilLink() override;
    bool bind() override;
    bool start(const std::string& printer) override;
    bool send(const uint8_t* data, size_t length) override;
    bool end() override;
    void unbind() override;

private:
    qorcil::Binding cil_;
    HANDLE session_ = nullptr;
};

}  // namespace tool
