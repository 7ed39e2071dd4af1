// The setup tool's reach beyond QORCIL on the platform: QORCIL bound by
// name, the spooler's local printers, raw jobs, queue purges and the host's
// serial port configuration.
#pragma once

#include "system.h"

#include "qorcil_binding.h"

namespace custom {

class QorcilLibrary : public Library {
public:
    bool bind() override;
    void release() override;
    CilLink link() const override;

private:
    qorcil::Binding binding_;
};

class SpoolerSystem : public PrinterSystem {
public:
    std::vector<PrinterRecord> local_printers() override;
    bool send_raw_job(const std::string& printer, const std::vector<BYTE>& bytes, Host& host) override;
    void purge_zem_printers() override;
    bool host_port_config(const std::string& port, DCB* dcb) override;
};

}  // namespace custom
