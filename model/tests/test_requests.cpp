#include "requests.h"
#include "qortest.h"

#include "recovery.h"

#include "common/blocks_shared.h"
#include "common/status.h"
#include "replies.h"
#include "reply_decoder.h"
#include "status_block_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

using namespace qor;
using namespace qor::model;

namespace {

// A printer behind a scripted QORLM2K: commands written to it are recorded,
// and the replies it would send come back through ReadCommand.
struct FakePrinter {
    std::mutex mutex;
    std::vector<BYTE> received;
    std::vector<BYTE> pending;  // bytes the next read delivers
    RealtimeReplies realtime = {0x12, 0x12, 0x12, 0x12};
    bool answers = true;
    std::vector<BYTE> data_reply;  // sent after any non-status data
    int holds = 0;
    int max_holds = 0;
    bool cts = true;
    int port_reads = 0;     // reads of the port monitor made directly
    int command_reads = 0;  // reads through ReadCommand
};

FakePrinter g_printer;

bool is_status_query(const BYTE* bytes, DWORD count) { return count == 12 && bytes[0] == 0x10 && bytes[1] == 0x04; }

BOOL fake_write(HANDLE, LPBYTE bytes, DWORD count, DWORD, LPDWORD written) {
    std::lock_guard lock(g_printer.mutex);
    g_printer.received.insert(g_printer.received.end(), bytes, bytes + count);
    *written = count;
    if (!g_printer.answers) return TRUE;
    if (is_status_query(bytes, count))
        g_printer.pending.insert(g_printer.pending.end(), g_printer.realtime.begin(), g_printer.realtime.end());
    else
        g_printer.pending.insert(g_printer.pending.end(), g_printer.data_reply.begin(), g_printer.data_reply.end());
    return TRUE;
}

DWORD fake_read(HANDLE port, DWORD) {
    std::vector<BYTE> bytes;
    {
        std::lock_guard lock(g_printer.mutex);
        ++g_printer.command_reads;
        bytes.swap(g_printer.pending);
    }
    if (!bytes.empty()) deliver_reply_bytes(port, bytes.data(), bytes.size());
    return DWORD(bytes.size());
}

BOOL fake_read_port(HANDLE, LPBYTE buffer, DWORD size, LPDWORD read) {
    std::lock_guard lock(g_printer.mutex);
    ++g_printer.port_reads;
    const size_t count = std::min<size_t>(size, g_printer.pending.size());
    std::copy_n(g_printer.pending.begin(), count, buffer);
    g_printer.pending.erase(g_printer.pending.begin(), g_printer.pending.begin() + count);
    *read = DWORD(count);
    return TRUE;
}

BOOL fake_channel(HANDLE, DWORD, LPWSTR name, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD) {
    std::lock_guard lock(g_printer.mutex);
    if (std::u16string(name) == u"StartDocPort") g_printer.max_holds = std::max(g_printer.max_holds, ++g_printer.holds);
    if (std::u16string(name) == u"EndDocPort") --g_printer.holds;
    return TRUE;
}

BOOL fake_check(HANDLE) { return g_printer.cts; }

class ModelRequests : public ::testing::Test {
protected:
    void SetUp() override {
        lm_.write_command = fake_write;
        lm_.read_command = fake_read;
        lm_.read_port = fake_read_port;
        lm_.get_printer_data = fake_channel;
        lm_.check_connect = fake_check;
        port_lock_ = CreateMutexW(nullptr, FALSE, nullptr);
        use_port(u"USB001");
    }

    void TearDown() override { CloseHandle(port_lock_); }

    // A started port, as the request's port hold leaves it.
    void use_port(const std::u16string& name) {
        name_ = name;
        std::memset(&record_, 0, sizeof record_);
        record_.port_name = name_.data();
        record_.port_lock = port_lock_;
        record_.flags = QORMON_PORT_STARTED;
    }

    DWORD ask(const char16_t* request, BOOL* ok = nullptr) {
        std::u16string name(request);
        DWORD word = 0xDEAD, returned = 0;
        const BOOL result = answer_cil_request(lm_, &record_, name.data(), reinterpret_cast<LPWSTR>(&word),
                                               sizeof word, &returned);
        if (ok) *ok = result;
        EXPECT_TRUE(result) << std::string(name.begin(), name.end());
        EXPECT_EQ(returned, 4u);
        return word;
    }

    static blocks::StatusBlock status_block() {
        auto block = blocks::open_status_block();
        EXPECT_TRUE(bool(block));
        return block ? *block.as<blocks::StatusBlock>() : blocks::StatusBlock{};
    }

    Lm2kEntries lm_;
    std::u16string name_;
    QORMON_PORT record_;
    HANDLE port_lock_ = nullptr;
};

}  // namespace

TEST_F(ModelRequests, StatusRequestLeavesTheFreshWordInTheStatusBlock) {
    g_printer.realtime = {0x1A, 0x32, 0x12, 0x72};  // paper out
    EXPECT_EQ(ask(u"QOR_GetStatusRequest"), status::kPaperOut);
    const auto block = status_block();
    EXPECT_EQ(block.status, status::kPaperOut);
    EXPECT_TRUE(block.control & status::kControlValid);
    EXPECT_FALSE(block.control & status::kControlNoConnection);
    EXPECT_EQ(g_printer.holds, 0);  // the port hold was given back
    // The query's own replies never reach the Reply block.
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    EXPECT_EQ(blocks::reply_available(*reply.as<blocks::ReplyBlock>()), 0u);

    g_printer.realtime = {0x12, 0x12, 0x12, 0x1E};
    EXPECT_EQ(ask(u"QOR_GetHistoryRequest"), status::kPaperNearEnd);
    EXPECT_EQ(status_block().status, status::kPaperNearEnd);
}

TEST_F(ModelRequests, APrinterThatDoesNotAnswerIsMarkedNotConnected) {
    store_printer_status(status::kPaperNearEnd);
    g_printer.answers = false;
    ask(u"QOR_GetStatusRequest");
    const auto block = status_block();
    EXPECT_TRUE(block.control & status::kControlNoConnection);
    EXPECT_EQ(block.status, status::kPaperNearEnd);
    EXPECT_EQ(ask(u"QOR_CheckConnection"), 0u);
    g_printer.answers = true;
    EXPECT_EQ(ask(u"QOR_CheckConnection"), 1u);
    EXPECT_FALSE(status_block().control & status::kControlNoConnection);
}

TEST_F(ModelRequests, SerialConnectionAsksThePrinterNotTheLine) {
    use_port(u"COM1");
    store_no_answer();  // silent once before
    g_printer.cts = false;  // the line says nothing about whether it answers
    EXPECT_EQ(ask(u"QOR_CheckConnection"), 1u);
    EXPECT_EQ(g_printer.received.size(), 12u);  // DLE EOT 1..4
    EXPECT_FALSE(status_block().control & status::kControlNoConnection);
    g_printer.cts = true;
    g_printer.answers = false;
    EXPECT_EQ(ask(u"QOR_CheckConnection"), 0u);
    EXPECT_TRUE(status_block().control & status::kControlNoConnection);
    g_printer.answers = true;
    EXPECT_EQ(ask(u"QOR_CheckConnection"), 1u);
    EXPECT_FALSE(status_block().control & status::kControlNoConnection);
}

TEST_F(ModelRequests, AnsweredQueryEndsWithTheReadThatBroughtTheReplies) {
    EXPECT_EQ(ask(u"QOR_GetStatusRequest"), 0u);
    EXPECT_EQ(g_printer.port_reads, 1);
    EXPECT_EQ(g_printer.command_reads, 0);
}

TEST_F(ModelRequests, SilentPrinterLeavesTwoStatusPassesInsideOneSecond) {
    g_printer.answers = false;
    const auto start = std::chrono::steady_clock::now();
    ask(u"QOR_GetStatusRequest");
    ask(u"QOR_GetStatusRequest");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(status_block().control & status::kControlNoConnection);
}

TEST_F(ModelRequests, WhileAPollingThreadRunsTheQueryReadsThroughIt) {
    qormon_set(&record_, QORMON_THREAD_ALIVE);
    g_printer.realtime = {0x12, 0x12, 0x12, 0x1E};
    EXPECT_EQ(ask(u"QOR_GetStatusRequest"), status::kPaperNearEnd);
    EXPECT_EQ(g_printer.port_reads, 0);
    EXPECT_GE(g_printer.command_reads, 1);
}

TEST_F(ModelRequests, StatusBackReadWithAQueryReachesTheStatusBlock) {
    // A frame that was waiting on the line comes in with the query's replies.
    g_printer.pending = {0x10, 0x00, 0x00, 0x01};  // printing
    EXPECT_EQ(ask(u"QOR_GetStatusRequest"), status::kPrinting);
    EXPECT_EQ(status_block().status, status::kPrinting);
}

TEST_F(ModelRequests, StagedDataReachesThePrinterAndItsReplyTheReplyBlock) {
    const BYTE command[] = {0x12, 0x6C, 0x00};
    // Kept mapped, as QORCIL does: the block lives while someone maps it.
    auto data = blocks::map_exchange_block(names::kDataBlock);
    {
        blocks::BlockLock lock(names::kDataMutex);
        ASSERT_TRUE(lock.held());
        blocks::data_stage(*data.as<blocks::DataBlock>(), command, sizeof command);
    }
    g_printer.data_reply = {0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C};
    EXPECT_EQ(ask(u"QOR_SendDataRequest"), 3u);
    EXPECT_EQ(g_printer.received, std::vector<BYTE>(command, command + 3));
    EXPECT_EQ(ask(u"QOR_GetDataRequest"), 9u);
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    BYTE out[16] = {};
    ASSERT_EQ(blocks::reply_take(*reply.as<blocks::ReplyBlock>(), out, sizeof out), 9u);
    EXPECT_EQ(0, std::memcmp(out, g_printer.data_reply.data(), 9));
}

TEST_F(ModelRequests, NothingStagedSendsNothing) {
    EXPECT_EQ(ask(u"QOR_SendDataRequest"), 0u);
    EXPECT_TRUE(g_printer.received.empty());
}

TEST_F(ModelRequests, SessionRequestsHoldAndReleaseThePort) {
    ask(u"QOR_StartDocPort");
    EXPECT_EQ(g_printer.holds, 1);
    ask(u"QOR_GetStatusRequest");
    EXPECT_EQ(g_printer.max_holds, 2);
    ask(u"QOR_EndDocPort");
    EXPECT_EQ(g_printer.holds, 0);
}

TEST_F(ModelRequests, DummyRequestCreatesTheStatusBlock) {
    ASSERT_EQ(blocks::probe_status_block(), blocks::Presence::Missing);
    ask(u"QOR_DummyRequest");
    EXPECT_EQ(blocks::probe_status_block(), blocks::Presence::Present);
}

TEST_F(ModelRequests, ShortBuffersAndOtherNamesAreRefused) {
    std::u16string name = u"QOR_GetStatusRequest";
    DWORD returned = 0;
    BYTE small[2];
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(answer_cil_request(lm_, &record_, name.data(), reinterpret_cast<LPWSTR>(small), 2, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 4u);
    EXPECT_FALSE(is_cil_request(u"qor_getstatusrequest"));
    EXPECT_FALSE(is_cil_request(u"Get DeviceID"));
    EXPECT_TRUE(is_cil_request(u"QOR_EndDocPort"));
}

TEST_F(ModelRequests, StatusBackDuringPollingUpdatesTheBlockAndQueuesTheBytes) {
    const BYTE chunk[] = {0x18, 0x00, 0x0C, 0x00};
    DWORD status = 0;
    deliver_reply_bytes(&record_, chunk, sizeof chunk);
    ASSERT_TRUE(parse_reply_status(&record_, chunk, sizeof chunk, &status));
    EXPECT_EQ(status, status::kPaperOut);
    EXPECT_EQ(status_block().status, status::kPaperOut);
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    EXPECT_EQ(blocks::reply_available(*reply.as<blocks::ReplyBlock>()), 4u);
}

TEST(ModelRecovery, SequenceResynchronisesInitialisesCutsAndEnablesStatusBackWhenDue) {
    EXPECT_TRUE(is_recovery_request(u"RecoverySequence"));
    EXPECT_FALSE(is_recovery_request(u"recoverysequence"));
    EXPECT_FALSE(is_recovery_request(nullptr));
    const std::vector<BYTE> resync_init_cut = {0x10, 0x14, 0x09, 'Q', 'O', 'R', 'S', 'Y', 'N', 'C',
                                               0x1B, 0x40, 0x1D, 0x56, 0x00};
    BYTE out[64] = {};
    DWORD returned = 0;
    ASSERT_TRUE(answer_recovery_request(false, reinterpret_cast<LPWSTR>(out), sizeof out, &returned));
    EXPECT_EQ(std::vector<BYTE>(out, out + returned), resync_init_cut);
    ASSERT_TRUE(answer_recovery_request(true, reinterpret_cast<LPWSTR>(out), sizeof out, &returned));
    auto with_status_back = resync_init_cut;
    with_status_back.insert(with_status_back.end(), {0x1D, 0x61, 0x1E});
    EXPECT_EQ(std::vector<BYTE>(out, out + returned), with_status_back);
    EXPECT_FALSE(answer_recovery_request(true, reinterpret_cast<LPWSTR>(out), 4, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, with_status_back.size());
}
