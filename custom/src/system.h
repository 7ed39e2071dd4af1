// The parts of the system the setup tool reaches beyond QORCIL: the
// library's binding, the spooler's printers, and the host's port settings.
#pragma once

#include "exchange.h"
#include "host.h"

#include "qor/monitor.h"

#include <string>
#include <vector>

namespace custom {

class Library {
public:
    virtual ~Library() = default;
    // Binds "QORCIL.DLL" by name; true when already bound.
    virtual bool bind() = 0;
    virtual void release() = 0;
    virtual CilLink link() const = 0;
};

struct PrinterRecord {
    std::string name;
    std::string port;
    std::string driver;
    DWORD attributes = 0;
    DWORD status = 0;
};

class PrinterSystem {
public:
    virtual ~PrinterSystem() = default;
    virtual std::vector<PrinterRecord> local_printers() = 0;
    // A raw spooler job; failing steps are reported through `host`.
    virtual bool send_raw_job(const std::string& printer, const std::vector<BYTE>& bytes, Host& host) = 0;
    // Purges the queues of every local "QOR ZEM" printer.
    virtual void purge_zem_printers() = 0;
    virtual bool host_port_config(const std::string& port, DCB* dcb) = 0;
};

}  // namespace custom
