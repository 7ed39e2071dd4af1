// The whole printing stack for one test: a private spooler, an emulated
// 58 mm ZEM-D510x and the demo printer installed on it, with the tools to
// run qorprint and read back what reached the paper.
#pragma once

#include "print_stack.h"
#include "spool_testing.h"

#include "qortest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

inline constexpr int kWidth = 432;          // printable width of the 58 mm papers
inline constexpr const char* kPaper = "257";  // 58 x 100 mm: 432 x 800 dots

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> grey;  // 0 ink, 255 paper
    bool ink(int x, int y) const {
        return grey[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] < 128;
    }
};

Bitmap ReadTicket(const std::string& path);
// Writes an RGB image into the sandbox; its path.
std::string WriteRgbPng(const std::string& name, int width, int height, const std::vector<uint8_t>& rgb);
// A baseline JPEG of a grey gradient, as bytes.
std::string EncodeJpeg(int width, int height);
// Writes bytes into the sandbox; the file's path.
std::string WriteFile(const std::string& name, const std::string& bytes);

struct Outcome {
    int status = -1;
    std::string output;  // what it wrote on stdout
    std::string errors;  // and on stderr
};

class PrintStack : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs qorprint quietly on the demo printer; its exit status.
    int Print(std::vector<std::string> args);
    // Runs qorprint with `args` as given; its status and output.
    Outcome RunQorprint(const std::vector<std::string>& args);
    Bitmap FirstTicket();
    // A counter of the emulator's `stats`, -1 when missing.
    long Stat(const std::string& key);

    qorspool::PrivateSpooler spooler_;
    qortest::Child emulator_;
    std::string tickets_, socket_, control_;
};

}  // namespace e2e
