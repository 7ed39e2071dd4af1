// An emulator in this test process with a connected link: what most
// emulator tests start from.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "png_image.h"
#include "qoremu/emulator.h"
#include "qoremu/link.h"
#include "qortest.h"

namespace emutest {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b);
Bytes text(const std::string& s);
Bytes le16(int v);

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override { stop(); }

    void start(qoremu::EmulatorOptions options = {});
    void stop();
    void send(const Bytes& bytes);
    // Everything the printer sent until `count` bytes arrived or time ran out.
    Bytes receive(size_t count, int timeout_ms = 3000);
    // Nothing more arrives for a moment.
    void expect_silence(int ms = 200);
    // Returns once every command sent so far has been executed (the setting
    // read is answered in order); what arrived before its reply is returned.
    Bytes sync();
    Image ticket(size_t number);  // 1-based, waits for it
    std::string stat(const std::string& key);
    void control(const std::string& command);

    qoremu::EmulatorOptions options_;
    std::unique_ptr<qoremu::Emulator> emulator_;
    qoremu::Link link_;
};

}  // namespace emutest
