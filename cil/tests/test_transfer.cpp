// CommQorPrinterData and the session API's data calls: staging through the
// Data block, the Reply block's taking rule, refusals, and workers that
// outlive their calls.
#include "cil_test.h"

#include "common/status.h"

#include <cstring>
#include <future>
#include <numeric>
#include <thread>

using namespace ciltest;
using namespace std::chrono_literals;
namespace blocks = qor::blocks;
namespace names = qor::names;

namespace {

Bytes numbered(size_t count) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = BYTE(i * 7 + i / 256);
    return bytes;
}

Bytes concatenated(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

blocks::ReplyBlock reply_header() {
    auto reply = blocks::map_exchange_block(names::kReplyBlock);
    blocks::BlockLock lock(names::kReplyMutex);
    blocks::ReplyBlock copy;
    std::memcpy(&copy, reply.as<blocks::ReplyBlock>(), sizeof copy);
    return copy;
}

}  // namespace

TEST_F(CilTest, TenThousandBytesAreStagedAs4096And4096And1808) {
    HANDLE session = open_session();
    const Bytes data = numbered(10000);
    DWORD sent = 0;
    EXPECT_TRUE(CILSetPrinterData(session, data.data(), DWORD(data.size()), &sent));
    EXPECT_EQ(sent, 10000u);
    auto staged = monitor_->staged();
    staged.erase(staged.begin());  // the greeting
    ASSERT_EQ(staged.size(), 3u);
    EXPECT_EQ(staged[0].size(), 4096u);
    EXPECT_EQ(staged[1].size(), 4096u);
    EXPECT_EQ(staged[2].size(), 1808u);
    EXPECT_EQ(concatenated(staged), data);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, AShortAnswerRestagesFromTheFirstUnconfirmedByte) {
    HANDLE session = open_session();
    monitor_->set_send_answer([](size_t, DWORD staged) { return Answer{0, std::min<DWORD>(staged, 1000)}; });
    const Bytes data = numbered(2500);
    DWORD sent = 0;
    EXPECT_EQ(SetQorPrinterData(session, data.data(), DWORD(data.size()), &sent), QORCIL_OK);
    EXPECT_EQ(sent, 2500u);
    auto staged = monitor_->staged();
    ASSERT_EQ(staged.size(), 4u);  // the greeting, then 2500, 1500 and 500 bytes from 0, 1000 and 2000
    EXPECT_EQ(staged[1], data);
    EXPECT_EQ(staged[2], Bytes(data.begin() + 1000, data.end()));
    EXPECT_EQ(staged[3], Bytes(data.begin() + 2000, data.end()));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, AFailingFirstSendRequestGivesSendIncomplete) {
    HANDLE session = open_session();
    monitor_->set_send_answer([](size_t, DWORD) { return Answer{ERROR_NOT_READY, 0, 0}; });
    const Bytes data = numbered(100);
    DWORD sent = 99;
    EXPECT_EQ(CommQorPrinterData(session, data.data(), 100, &sent, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_EQ(sent, 0u);
    EXPECT_FALSE(CILSetPrinterData(session, data.data(), 100, &sent));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, NeitherPartConnectsAndDisconnects) {
    HANDLE session = open_session();
    const size_t opens = spooler().count("open ZEM1 Front");
    DWORD sent = 5, received = 5;
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 10, &sent, nullptr, 10, &received), QORCIL_OK);
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(spooler().count("open ZEM1 Front"), opens + 1);
    EXPECT_EQ(spooler().count("close"), opens + 1);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, AFreshReplyBlockIsInitialisedAndGivesNothing) {
    HANDLE session = open_session();
    {
        auto reply = blocks::map_exchange_block(names::kReplyBlock);
        std::memset(reply.as<blocks::ReplyBlock>(), 0, sizeof(blocks::ReplyBlock));
    }
    BYTE buffer[8];
    DWORD received = 9;
    EXPECT_TRUE(CILGetPrinterData(session, buffer, sizeof buffer, &received));
    EXPECT_EQ(received, 0u);
    const auto header = reply_header();
    EXPECT_EQ(header.data_offset, 16u);
    EXPECT_EQ(header.block_size, 4112u);
    EXPECT_EQ(header.write_offset, 16u);
    EXPECT_EQ(header.read_offset, 16u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, TakesFollowTheReplyBlockRule) {
    HANDLE session = open_session();
    const Bytes reply = {0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C};
    monitor_->set_reply(reply);
    // Exactly what is there: the offsets meet, the block is not reset.
    BYTE exact[9];
    DWORD received = 0;
    EXPECT_TRUE(CILGetPrinterData(session, exact, sizeof exact, &received));
    EXPECT_EQ(received, 9u);
    EXPECT_EQ(Bytes(exact, exact + 9), reply);
    auto header = reply_header();
    EXPECT_EQ(header.read_offset, header.write_offset);
    EXPECT_EQ(header.write_offset, 16u + 9u);
    // A larger buffer takes everything and resets the block.
    BYTE larger[21];
    EXPECT_TRUE(CILGetPrinterData(session, larger, sizeof larger, &received));
    EXPECT_EQ(received, 9u);
    EXPECT_EQ(Bytes(larger, larger + 9), reply);
    header = reply_header();
    EXPECT_EQ(header.read_offset, 16u);
    EXPECT_EQ(header.write_offset, 16u);
    // A smaller one leaves the rest for later.
    BYTE small[4];
    EXPECT_TRUE(CILGetPrinterData(session, small, sizeof small, &received));
    EXPECT_EQ(Bytes(small, small + 4), Bytes(reply.begin(), reply.begin() + 4));
    EXPECT_EQ(reply_header().read_offset, 16u + 4u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, SendThenReceiveSeesOnlyTheRepliesToTheSend) {
    HANDLE session = open_session();
    {
        auto reply = blocks::map_exchange_block(names::kReplyBlock);
        blocks::BlockLock lock(names::kReplyMutex);
        const BYTE stale[] = {0x10, 0x00, 0x00, 0x00};
        blocks::reply_append(*reply.as<blocks::ReplyBlock>(), stale, sizeof stale);
    }
    monitor_->set_reply({0x55, 1, 2, 3, 4, 5, 6, 7, 8});
    const BYTE command[] = {0x1D, 0x61, 0x00, 0x12, 0x71, 0x05, 0x12, 0x6C, 0x00};
    BYTE buffer[21];
    DWORD sent = 0, received = 0;
    EXPECT_EQ(CommQorPrinterData(session, command, sizeof command, &sent, buffer, sizeof buffer, &received),
              QORCIL_OK);
    EXPECT_EQ(sent, 9u);
    ASSERT_EQ(received, 9u);
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, APrintingPrinterIsRefused) {
    HANDLE session = open_session();
    monitor_->set_printing(true);
    BYTE buffer[8];
    DWORD received = 0;
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, buffer, sizeof buffer, &received),
              QORCIL_E_NOT_READY);
    const BYTE byte = 0x0A;
    DWORD sent = 0;
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, &sent, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_EQ(requests(names::kRequestGetData), 0u);
    EXPECT_EQ(requests(names::kRequestSendData), 1u);  // the greeting's only
    EXPECT_EQ(state().send_requests.latest()->error.load(), QORCIL_E_NOT_READY);
    monitor_->set_printing(false);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, TwoWayOffNetworkAndSilentLocalPrintersAreNotReady) {
    HANDLE session = open_session();
    auto printers = spooler().printers();
    printers[0].attributes = PRINTER_ATTRIBUTE_LOCAL;  // two-way communication off
    spooler().set_printers(printers);
    BYTE buffer[8];
    DWORD received = 0;
    EXPECT_EQ(CILGetPrinterData(session, buffer, sizeof buffer, &received), FALSE);
    printers[0].attributes = PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    spooler().set_printers(printers);
    EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, buffer, sizeof buffer, &received),
              QORCIL_E_NOT_READY);
    // A local printer that stops answering between connect and send.
    printers[0].attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    spooler().set_printers(printers);
    int checks = 0;
    monitor_->set_hook([&](const std::string& request) {
        if (request == names::kRequestCheckConnection && ++checks == 2) monitor_->set_answers(false);
    });
    const BYTE byte = 0x0A;
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, nullptr, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_EQ(state().send_requests.latest()->error.load(), QORCIL_E_NOT_READY);
    monitor_->set_hook(nullptr);
    monitor_->set_answers(true);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, ARefusedConnectLeavesTheOtherThreadsConnectionAlone) {
    HANDLE session = open_session();
    HeldQuery query(*monitor_, session);
    const size_t closes = spooler().count("close");
    const BYTE byte = 0x0A;
    EXPECT_EQ(CommQorPrinterData(session, &byte, 1, nullptr, nullptr, 0, nullptr), QORCIL_E_BUSY_HERE);
    EXPECT_EQ(spooler().count("close"), closes);  // the query's handle is still open
    EXPECT_EQ(query.release(), QORCIL_OK);
    EXPECT_EQ(spooler().count("request on a closed handle QOR_GetStatusRequest"), 0u);
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, ALateReceiveWorkerNeitherWritesTheCallersBufferNorLosesTheBytes) {
    HANDLE session = open_session();
    Gate gate;
    monitor_->set_reply({1, 2, 3, 4});
    monitor_->set_hook([released = gate.waiter()](const std::string& request) {
        if (request == names::kRequestGetData) released.wait();
    });
    {
        auto buffer = std::make_unique<BYTE[]>(16);
        DWORD received = 7;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(CommQorPrinterData(session, nullptr, 0, nullptr, buffer.get(), 16, &received), QORCIL_OK);
        EXPECT_EQ(received, 0u);  // the wait ran out: nothing is reported
        EXPECT_LT(since(start), 1500ms);
    }  // the caller's buffer is gone before the worker goes on
    gate.open();
    auto late = state().receive_requests.latest();
    ASSERT_TRUE(qortest::eventually([&] { return late->ended.load(); }));
    EXPECT_FALSE(late->done.load());
    monitor_->set_hook(nullptr);
    monitor_->set_reply({});
    BYTE buffer[16];
    DWORD received = 0;
    EXPECT_TRUE(CILGetPrinterData(session, buffer, sizeof buffer, &received));
    EXPECT_EQ(Bytes(buffer, buffer + received), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, AStoppedSendDrainsFromItsOwnCopyAndGivesUpOnAFailingMonitor) {
    HANDLE session = open_session();
    Gate gate;
    // The first request hangs past the caller's 3000 ms slice, then takes
    // 1000 bytes; every later one fails.
    monitor_->set_send_answer([released = gate.waiter()](size_t n, DWORD staged) {
        if (n == 1) {
            released.wait();
            return Answer{0, std::min<DWORD>(staged, 1000)};
        }
        return n == 0 ? Answer{0, staged} : Answer{ERROR_NOT_READY, 0, 0};
    });
    auto data = std::make_unique<Bytes>(numbered(3000));
    const Bytes original = *data;
    DWORD sent = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CommQorPrinterData(session, data->data(), 3000, &sent, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_GE(since(start), 2900ms);
    EXPECT_LT(since(start), 4000ms);
    EXPECT_EQ(sent, 3000u);  // the staged end
    data.reset();  // the caller's bytes are gone while the worker drains
    gate.open();
    auto late = state().send_requests.latest();
    ASSERT_TRUE(qortest::eventually([&] { return late->ended.load(); }));
    // The call's connection is gone, so every drain fails; three in a row end it.
    EXPECT_EQ(late->requests_sent.load(), 1u + 3u);
    EXPECT_EQ(spooler().count("request on a closed handle QOR_SendDataRequest"), 3u);
    EXPECT_EQ(late->error.load(), QORCIL_E_SEND_INCOMPLETE);
    EXPECT_EQ(late->final_count.load(), 1000u);
    // What it staged last: the bytes after the confirmed 1000, from its copy.
    auto block = blocks::map_exchange_block(names::kDataBlock);
    const BYTE* staged = nullptr;
    const DWORD count = blocks::data_staged(*block.as<blocks::DataBlock>(), &staged);
    EXPECT_EQ(Bytes(staged, staged + count), Bytes(original.begin() + 1000, original.end()));
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
}

TEST_F(CilTest, ClosingTheSessionCancelsASendThatGoesOn) {
    HANDLE session = open_session();
    Gate gate;
    monitor_->set_send_answer([released = gate.waiter()](size_t n, DWORD staged) {
        if (n == 1) released.wait();
        return Answer{0, std::min<DWORD>(staged, 100)};
    });
    const Bytes data = numbered(3000);
    EXPECT_EQ(CommQorPrinterData(session, data.data(), 3000, nullptr, nullptr, 0, nullptr), QORCIL_E_SEND_INCOMPLETE);
    auto late = state().send_requests.latest();
    EXPECT_EQ(CloseQorPrinter(session), QORCIL_OK);
    gate.open();
    ASSERT_TRUE(qortest::eventually([&] { return late->ended.load(); }));
    EXPECT_EQ(late->requests_sent.load(), 1u);
}
