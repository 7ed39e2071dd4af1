// Sixteen processes open a session, query the status and close it, in a
// loop for 30 s, through the whole stack. Nothing may hang, every call
// returns within its bound, the only failures are the contention codes, and
// a final open succeeds.
#include "cil_stack.h"
#include "qorcil_binding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using ciltest::PrinterStack;

namespace {

constexpr int kProcesses = 16;
constexpr int kSeconds = 30;

// The longest each call may take: its own bounded waits plus the spooler's
// round trips on a loaded machine. Open: 100 ms for the session mutex and the
// greeting's send (3000 ms slice); status: 1000 ms; close: 100 ms and 20 ms.
const std::map<std::string, long> kBoundMs = {{"open", 5000}, {"status", 2500}, {"close", 1500}};

// Failures that only say another process was first.
bool contention(const std::string& kind, DWORD code) {
    if (kind == "open") return code == QORCIL_E_BUSY_ELSEWHERE;
    return code == QORCIL_E_STATUS_LOCKED;
}

}  // namespace

TEST(CilStress, SixteenProcessesOpenQueryAndClose) {
    PrinterStack stack;
    ASSERT_TRUE(stack.ok());
    std::vector<qortest::Child> clients;
    std::vector<std::string> files;
    for (int i = 0; i < kProcesses; ++i) {
        files.push_back(qortest::sandbox() + "/stress-" + std::to_string(i));
        clients.push_back(qortest::Child::spawn(
            "qorcil_helper_session", {"stress", PrinterStack::kPrinter, std::to_string(kSeconds), files.back()}));
    }
    for (auto& client : clients) EXPECT_EQ(client.wait(std::chrono::seconds(kSeconds + 30)), 0) << "a client hung";

    std::map<std::string, long> totals, longest;
    for (const auto& file : files) {
        std::ifstream in(file);
        ASSERT_TRUE(in) << file;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string first, second;
            long value = 0;
            words >> first >> second >> value;
            if (first == "longest-ms")
                longest[second] = std::max(longest[second], value);
            else
                totals[first + " " + second] += value;
        }
    }
    std::string report;
    for (const auto& [key, count] : totals) {
        report += key + ": " + std::to_string(count) + "\n";
        std::istringstream words(key);
        std::string kind;
        DWORD code = 0;
        words >> kind >> code;
        EXPECT_TRUE(code == 0 || contention(kind, code)) << kind << " failed with " << code << " " << count << " times";
    }
    for (const auto& [kind, ms] : longest) {
        report += "longest " + kind + ": " + std::to_string(ms) + " ms\n";
        EXPECT_LE(ms, kBoundMs.at(kind)) << kind;
    }
    std::printf("%s", report.c_str());
    EXPECT_GT(totals["open 0"], 0);
    EXPECT_EQ(totals["open 0"], totals["close 0"]);

    qorcil::Binding cil;
    std::string error;
    ASSERT_TRUE(cil.load(&error)) << error;
    HANDLE session = nullptr;
    EXPECT_EQ(cil->OpenQorPrinterA(PrinterStack::kPrinter, &session), QORCIL_OK);
    EXPECT_EQ(cil->CloseQorPrinter(session), QORCIL_OK);
}
