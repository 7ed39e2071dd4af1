// The whole chain: qorspoold hosting the model module and QORLM2K, a printer
// on an emulator port, and the Status, Data and Reply blocks seen from here.
#include "common/blocks_shared.h"
#include "common/status.h"
#include "qoremu/control_client.h"
#include "spool_testing.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace qor;

namespace {

const char kPrinter[] = "ZEM";
const char kDriver[] = "QOR ZEM-D";

std::u16string wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class ModelEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler_.ok());
        const std::string dir = qortest::sandbox();
        socket_ = dir + "/zemd.sock";
        control_ = dir + "/zemd.ctl";
        tickets_ = dir + "/tickets";
        start_emulator();
        ASSERT_TRUE(spooler_.add_driver(kDriver, "QOR ZEM-D Monitor", "QORZEMLM.DLL"));
        ASSERT_TRUE(spooler_.add_printer(kPrinter, "USB001", "emu:" + socket_, kDriver));
        auto name = wide(kPrinter);
        ASSERT_TRUE(OpenPrinterW(name.data(), &printer_, nullptr));
    }

    void start_emulator() {
        const std::string dir = qortest::sandbox();
        std::remove(control_.c_str());
        emulator_ = qortest::Child::spawn("qoremu", {"--socket", socket_, "--control", control_, "--tickets",
                                                     tickets_, "--state", dir + "/zemd.state", "--print-speed",
                                                     "200", "--rx-buffer", "256"});
        ASSERT_TRUE(qoremu::wait_for_path(control_));
    }

    void TearDown() override {
        if (printer_) ClosePrinter(printer_);
        spooler_.stop();
    }

    void control(const std::string& command) {
        std::string error;
        ASSERT_TRUE(qoremu::control_command(control_, command, nullptr, &error)) << command << ": " << error;
    }

    std::string stat(const std::string& key) {
        std::vector<std::string> lines;
        if (!qoremu::control_command(control_, "stats", &lines)) return {};
        for (const auto& line : lines)
            if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
        return {};
    }

    // Prints `bytes` as one RAW job.
    DWORD print(const std::vector<BYTE>& bytes) {
        std::u16string document = u"e2e", type = u"RAW";
        DOC_INFO_1W info{document.data(), nullptr, type.data()};
        const DWORD job = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
        EXPECT_NE(job, 0u);
        DWORD written = 0;
        EXPECT_TRUE(WritePrinter(printer_, const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()), &written));
        EXPECT_TRUE(EndDocPrinter(printer_));
        return job;
    }

    static constexpr DWORD kNoStatus = 0xFFFFFFFF;
    DWORD spooler_status() {
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        if (!GetPrinterW(printer_, 2, buffer.data(), DWORD(buffer.size()), &needed)) return kNoStatus;
        return reinterpret_cast<PRINTER_INFO_2W*>(buffer.data())->Status;
    }

    static bool block_status(DWORD* status) {
        auto block = blocks::open_status_block();
        if (!block) return false;
        blocks::BlockLock lock(names::kStatusMutex);
        return lock.held() && blocks::read_status(*block.as<blocks::StatusBlock>(), status);
    }

    DWORD request(const char* name, DWORD* word) {
        DWORD type = 0, needed = 0;
        return GetPrinterDataA(printer_, const_cast<LPSTR>(name), &type, reinterpret_cast<LPBYTE>(word),
                               sizeof *word, &needed);
    }

    static std::vector<BYTE> ticket_text(size_t lines) {
        std::vector<BYTE> bytes;
        for (size_t i = 0; i < lines; ++i)
            for (char c : std::string("QOR ZEM-D end-to-end line\n")) bytes.push_back(BYTE(c));
        for (BYTE b : {0x1D, 0x56, 0x00}) bytes.push_back(b);  // cut
        return bytes;
    }

    qorspool::PrivateSpooler spooler_;
    qortest::Child emulator_;
    std::string socket_, control_, tickets_;
    HANDLE printer_ = nullptr;
};

}  // namespace

TEST_F(ModelEndToEnd, RawJobReachesThePaper) {
    print(ticket_text(3));
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, 1));
    EXPECT_TRUE(spooler_.wait_idle(kPrinter));
}

TEST_F(ModelEndToEnd, PaperOutDuringAJobReachesTheSpoolerAndTheStatusBlockThenClears) {
    // More than the printer's small buffer and the line's credit take, so the
    // spooler is still writing (the job still active) when the paper runs out.
    print(ticket_text(200));
    ASSERT_TRUE(qortest::eventually([&] { return stat("status-backs") != "" && stat("status-backs") != "0"; },
                                    std::chrono::seconds(10)));
    control("raise paper-out");
    const auto raised = std::chrono::steady_clock::now();
    EXPECT_TRUE(qortest::eventually(
        [&] {
            const DWORD status = spooler_status();
            return status != kNoStatus && (status & PRINTER_STATUS_PAPER_OUT) != 0;
        },
        std::chrono::seconds(10)));
    DWORD word = 0;
    EXPECT_TRUE(qortest::eventually([&] { return block_status(&word) && (word & status::kPaperOut); }));
    // Two poll cycles of 500 ms; sanitizer builds on a busy machine get more.
    const auto took = std::chrono::steady_clock::now() - raised;
#if defined(QOR_SANITIZED)
    EXPECT_LT(took, std::chrono::milliseconds(3000));
#else
    EXPECT_LT(took, std::chrono::milliseconds(1000));
#endif
    control("clear paper-out");
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, 1, std::chrono::seconds(60)));
    EXPECT_TRUE(qortest::eventually([&] { return spooler_status() == 0; }, std::chrono::seconds(20)));
}

TEST_F(ModelEndToEnd, StatusRequestLeavesTheFreshWordInTheStatusBlock) {
    control("raise paper-near-end");
    DWORD word = 0xDEAD;
    ASSERT_EQ(request(names::kRequestGetStatus, &word), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(word, status::kPaperNearEnd);
    DWORD stored = 0;
    ASSERT_TRUE(block_status(&stored));
    EXPECT_EQ(stored, status::kPaperNearEnd);
    control("silent on");
    ASSERT_EQ(request(names::kRequestGetStatus, &word), DWORD(ERROR_SUCCESS));
    auto block = blocks::open_status_block();
    ASSERT_TRUE(bool(block));
    EXPECT_TRUE(block.as<blocks::StatusBlock>()->control & status::kControlNoConnection);
}

TEST_F(ModelEndToEnd, StagedBytesReachThePrinterAndItsReplyTheReplyBlock) {
    auto data = blocks::map_exchange_block(names::kDataBlock);
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    ASSERT_TRUE(data && reply);
    DWORD word = 0;
    ASSERT_EQ(request(names::kRequestStartDocPort, &word), DWORD(ERROR_SUCCESS));
    const BYTE read_settings[] = {0x12, 0x6C, 0x00};  // DC2 l: the printer answers 55 + 8 nibbles
    {
        blocks::BlockLock lock(names::kDataMutex);
        ASSERT_TRUE(lock.held());
        blocks::data_stage(*data.as<blocks::DataBlock>(), read_settings, sizeof read_settings);
    }
    ASSERT_EQ(request(names::kRequestSendData, &word), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(word, 3u);
    BYTE received[16] = {};
    DWORD taken = 0;
    ASSERT_TRUE(qortest::eventually([&] {
        DWORD ignored = 0;
        request(names::kRequestGetData, &ignored);
        blocks::BlockLock lock(names::kReplyMutex);
        taken += blocks::reply_take(*reply.as<blocks::ReplyBlock>(), received + taken, sizeof received - taken);
        return taken >= 9;
    }));
    EXPECT_EQ(received[0], 0x55);
    ASSERT_EQ(request(names::kRequestEndDocPort, &word), DWORD(ERROR_SUCCESS));
}

// Between jobs the printer is still watched: its conditions reach the
// spooler and the Status block, and jobs go on beside the watch.
TEST_F(ModelEndToEnd, ConditionsOfAnIdlePrinterAreFollowed) {
    print(ticket_text(2));
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 1));
    ASSERT_TRUE(spooler_.wait_idle(kPrinter));
    ASSERT_TRUE(qortest::eventually([&] { return spooler_status() == 0; }, std::chrono::seconds(10)));

    control("raise paper-out");
    const auto raised = std::chrono::steady_clock::now();
    DWORD word = 0;
    EXPECT_TRUE(qortest::eventually(
        [&] {
            const DWORD status = spooler_status();
            return status != kNoStatus && (status & PRINTER_STATUS_PAPER_OUT) && block_status(&word) &&
                   (word & status::kPaperOut);
        },
        std::chrono::seconds(10)));
    RecordProperty("idle_paper_out_ms", int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - raised)
                                               .count()));
    control("clear paper-out");
    EXPECT_TRUE(qortest::eventually([&] { return spooler_status() == 0 && block_status(&word) && word == 0; },
                                    std::chrono::seconds(10)));

    // A printer that goes away is marked so, and found again when it is back.
    auto block = blocks::open_status_block();
    ASSERT_TRUE(bool(block));
    const auto no_connection = [&] {
        blocks::BlockLock lock(names::kStatusMutex);
        return (block.as<blocks::StatusBlock>()->control & status::kControlNoConnection) != 0;
    };
    emulator_.kill();
    EXPECT_TRUE(qortest::eventually(no_connection, std::chrono::seconds(10)));
    EXPECT_TRUE(qortest::eventually([&] { return spooler_status() & PRINTER_STATUS_NOT_AVAILABLE; }));
    start_emulator();
    EXPECT_TRUE(qortest::eventually([&] { return !no_connection(); }, std::chrono::seconds(15)));
    control("raise paper-near-end");
    EXPECT_TRUE(qortest::eventually([&] { return block_status(&word) && (word & status::kPaperNearEnd); }));
    control("clear paper-near-end");

    print(ticket_text(2));
    EXPECT_TRUE(qoremu::wait_for_tickets(tickets_, 2));
    EXPECT_TRUE(spooler_.wait_idle(kPrinter));
}
