// A printer link that records the calls of a Set operation and fails where
// a test tells it to.
#pragma once

#include "printer_link.h"

#include <string>
#include <vector>

namespace tooltest {

struct FakeLink : tool::PrinterLink {
    bool bind_ok = true, start_ok = true, send_ok = true, end_ok = true;
    std::vector<std::string> calls;
    std::vector<uint8_t> sent;
    bool open = false;

    bool bind() override {
        calls.push_back("bind");
        return bind_ok;
    }
    bool start(const std::string& printer) override {
        calls.push_back("start " + printer);
        open = start_ok;
        return start_ok;
    }
    bool send(const uint8_t* data, size_t length) override {
        calls.push_back("send");
        sent.assign(data, data + length);
        return send_ok;
    }
    bool end() override {
        if (!open) return true;
        calls.push_back("end");
        open = !end_ok;
        return end_ok;
    }
    void unbind() override { calls.push_back("unbind"); }
};

}  // namespace tooltest
