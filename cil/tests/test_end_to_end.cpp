// QORCIL loaded by name and driven through qorspoold, the model module,
// QORLM2K and qoremu on a COM1 port.
#include "cil_stack.h"
#include "qorcil_binding.h"

#include "qor/kernel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <numeric>

using namespace std::chrono_literals;
using ciltest::PrinterStack;

namespace {

class CilEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stack_.ok());
        std::string error;
        ASSERT_TRUE(cil_.load(&error)) << error;
    }

    HANDLE open() {
        HANDLE session = nullptr;
        EXPECT_EQ(cil_->OpenQorPrinterA(PrinterStack::kPrinter, &session), QORCIL_OK);
        return session;
    }

    DWORD status(HANDLE session) {
        DWORD word = 0xDEAD;
        EXPECT_EQ(cil_->GetQorPrinterStatus(session, &word, QORCIL_CURRENT), QORCIL_OK);
        return word;
    }

    // The code an open in another process gets.
    static DWORD open_elsewhere() {
        const std::string file = qortest::sandbox() + "/open-result";
        auto child = qortest::Child::spawn("qorcil_helper_session", {"open", PrinterStack::kPrinter, file});
        EXPECT_EQ(child.wait(), 0);
        std::ifstream in(file);
        DWORD code = 0xFFFFFFFF;
        in >> code;
        return code;
    }

    PrinterStack stack_;
    qorcil::Binding cil_;
};

}  // namespace

TEST_F(CilEndToEnd, GreetingReachesThePrinter) {
    HANDLE session = open();
    EXPECT_EQ(stack_.stat("identification"), "QOR");
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilEndToEnd, StatusFollowsPaperOutWithinASecond) {
    HANDLE session = open();
    EXPECT_EQ(status(session), 0u);
    ASSERT_TRUE(stack_.control("raise paper-out"));
    const auto raised = std::chrono::steady_clock::now();
    EXPECT_EQ(status(session), QORCIL_STATUS_PAPER_OUT);
    EXPECT_LT(std::chrono::steady_clock::now() - raised, 1000ms);
    ASSERT_TRUE(stack_.control("clear paper-out"));
    EXPECT_EQ(status(session), 0u);
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilEndToEnd, SilentOrStoppedPrinterGivesTheNoAnswerWord) {
    HANDLE session = open();
    ASSERT_TRUE(stack_.control("silent on"));
    EXPECT_EQ(status(session), QORCIL_STATUS_NO_ANSWER);
    ASSERT_TRUE(stack_.control("silent off"));
    EXPECT_EQ(status(session), 0u);  // answering again is seen at once
    stack_.stop_emulator();
    EXPECT_EQ(status(session), QORCIL_STATUS_NO_ANSWER);
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilEndToEnd, OneSessionInTheSystem) {
    HANDLE session = open();
    HANDLE second = nullptr;
    EXPECT_EQ(cil_->OpenQorPrinterA(PrinterStack::kPrinter, &second), QORCIL_E_BUSY_HERE);
    EXPECT_EQ(open_elsewhere(), QORCIL_E_BUSY_ELSEWHERE);
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
    EXPECT_EQ(open_elsewhere(), QORCIL_OK);

    // A holder killed with SIGKILL leaves the session free.
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "cil-e2e-holder");
    auto holder = qortest::Child::spawn("qorcil_helper_session", {"hold", PrinterStack::kPrinter, "cil-e2e-holder"});
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    CloseHandle(ready);
    EXPECT_EQ(cil_->OpenQorPrinterA(PrinterStack::kPrinter, &second), QORCIL_E_BUSY_ELSEWHERE);
    holder.kill();
    session = open();
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilEndToEnd, ReadSettingsCommandReturnsTheSettingBytes) {
    const std::vector<int> settings = stack_.setting_bytes();
    ASSERT_EQ(settings.size(), 4u);
    HANDLE session = open();
    const BYTE command[] = {0x1D, 0x61, 0x00, 0x12, 0x71, 0x05, 0x12, 0x6C, 0x00};
    BYTE reply[64] = {};
    DWORD sent = 0, received = 0;
    EXPECT_EQ(cil_->CommQorPrinterData(session, command, sizeof command, &sent, reply, 21, &received), QORCIL_OK);
    EXPECT_EQ(sent, sizeof command);
    // 85, then the eight nibbles, low half of each byte first; a status-back
    // frame may come before them.
    std::vector<BYTE> expected{85};
    for (int byte : settings) {
        expected.push_back(BYTE(byte & 0x0F));
        expected.push_back(BYTE(byte >> 4));
    }
    const std::vector<BYTE> got(reply, reply + received);
    EXPECT_NE(std::search(got.begin(), got.end(), expected.begin(), expected.end()), got.end())
        << "received " << received << " bytes";
    EXPECT_EQ(cil_->CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilEndToEnd, TenThousandBytesAreReportedSent) {
    HANDLE session = open();
    std::vector<BYTE> text;
    while (text.size() < 10000) {
        const std::string line = "QORCIL end-to-end line " + std::to_string(text.size()) + "\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    text.resize(10000);
    text.back() = '\n';
    DWORD sent = 0;
    EXPECT_TRUE(cil_->CILSetPrinterData(session, text.data(), DWORD(text.size()), &sent));
    EXPECT_EQ(sent, 10000u);
    EXPECT_TRUE(cil_->CILEndSession(session));
}

TEST_F(CilEndToEnd, SessionFaceAndTheUnsupportedCall) {
    HANDLE session = nullptr;
    ASSERT_TRUE(cil_->CILStartSessionW(u"QOR ZEM-D Kiosk", &session));
    DWORD word = 5;
    EXPECT_TRUE(cil_->CILGetPrinterStatus(session, &word, QORCIL_HISTORY));
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(cil_->GetQorPrinterData(session, 0, 0, &word), QORCIL_E_NOT_SUPPORTED);
    BYTE buffer[8];
    DWORD received = 9;
    EXPECT_TRUE(cil_->CILGetPrinterData(session, buffer, sizeof buffer, &received));
    EXPECT_TRUE(cil_->CILEndSession(session));
    EXPECT_FALSE(cil_->CILEndSession(session));
}

TEST_F(CilEndToEnd, TheDocumentedExampleRuns) {
    auto example = qortest::Child::spawn("qorcil_example", {PrinterStack::kPrinter});
    EXPECT_EQ(example.wait(), 0);
}
