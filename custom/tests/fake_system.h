// A QORCIL bound on request and a spooler of scripted printers, for the
// setup tool's tests without the real stack.
#pragma once

#include "fake_cil.h"
#include "system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace custom {

struct FakeLibrary : Library {
    bool present = true;
    bool bound = false;
    bool bind() override { return bound = present; }
    void release() override { bound = false; }
    CilLink link() const override { return bound ? fakecil::link() : CilLink{}; }
};

struct FakeSystem : PrinterSystem {
    std::vector<PrinterRecord> printers;
    std::vector<std::string> raw_jobs;
    int purges = 0;
    bool has_port = true;
    DCB port{};
    std::vector<PrinterRecord> local_printers() override { return printers; }
    bool send_raw_job(const std::string& printer, const std::vector<BYTE>& bytes, Host&) override {
        EXPECT_EQ(bytes, (std::vector<BYTE>{0x12, 0x71, 0x00}));
        raw_jobs.push_back(printer);
        return true;
    }
    void purge_zem_printers() override { ++purges; }
    bool host_port_config(const std::string&, DCB* dcb) override {
        *dcb = port;
        return has_port;
    }
};

}  // namespace custom
