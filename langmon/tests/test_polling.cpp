#include "scripted.h"

#include "qor/module.h"
#include "qortest.h"

#include <chrono>

using namespace lmtest;

namespace {

class LmPolling : public PortTest {};

Bytes filled(size_t count, BYTE value) { return Bytes(count, value); }

}  // namespace

TEST_F(LmPolling, LongReplyArrivesInChunksOf1023EachHandedToTheModel) {
    monitor().queue_reply(filled(2500, 0x10));
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 1));
    write(port, 1);
    ASSERT_TRUE(qortest::eventually([] {
        std::lock_guard lock(model().mutex);
        return model().parsed_chunks.size() >= 3;
    }));
    QORMonEndDocPort(port);
    ASSERT_TRUE(polling_ended(port));
    std::lock_guard lock(model().mutex);
    ASSERT_EQ(model().raw_chunks.size(), 3u);
    EXPECT_EQ(model().raw_chunks[0].size(), 1023u);
    EXPECT_EQ(model().raw_chunks[1].size(), 1023u);
    EXPECT_EQ(model().raw_chunks[2].size(), 454u);
    EXPECT_EQ(model().parsed_chunks, model().raw_chunks);
    EXPECT_TRUE(model().zero_after_each_chunk);
    // The parsed status reached the spooler, and was cleared after the job.
    const auto calls = spooler().snapshot();
    ASSERT_FALSE(calls.empty());
    EXPECT_GE(spooler().count("status 16 level 0 command 4"), 1u);
    EXPECT_EQ(calls.back(), "close");
    EXPECT_EQ(calls[calls.size() - 2], "status 0 level 0 command 4");
}

TEST_F(LmPolling, AnIdlePortReadsOncePerCycleAndCallsNoModelEntry) {
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 1));
    write(port, 1);
    ASSERT_TRUE(qortest::eventually([] { return monitor().reads.load() >= 2; }));
    EXPECT_LE(monitor().reads.load(), 3);  // one read per 500 ms cycle, not a busy loop
    QORMonEndDocPort(port);
    ASSERT_TRUE(polling_ended(port));
    std::lock_guard lock(model().mutex);
    EXPECT_TRUE(model().raw_chunks.empty());
    EXPECT_TRUE(model().parsed_chunks.empty());
}

TEST_F(LmPolling, ReplyWaitKeepsReadingFor200msThenClearsItself) {
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(request(port, "StartDocPort"));
    qormon_set(record(port), QORMON_REPLY_WAIT);
    monitor().queue_reply({0x12});
    const auto begin = std::chrono::steady_clock::now();
    ReadCommand(port, QORMON_READ_PARSE);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_GE(monitor().reads.load(), 4);
    EXPECT_FALSE(qormon_has(record(port), QORMON_REPLY_WAIT));
    std::lock_guard lock(model().mutex);
    ASSERT_EQ(model().parsed_chunks.size(), 1u);
    // Without the report option nothing goes to the spooler.
    EXPECT_EQ(spooler().count("status 18 level 0 command 4"), 0u);
}

TEST_F(LmPolling, ReadCommandOnAPortThatIsNotStartedReadsNothing) {
    HANDLE port = open("USB001", test_model());
    monitor().queue_reply({1, 2, 3});
    EXPECT_EQ(ReadCommand(port, QORMON_READ_POLL), 0u);
    EXPECT_EQ(monitor().reads.load(), 0);
}

TEST_F(LmPolling, AModelWithoutAParserStillGetsEveryChunkAndNeverSetsTheStatus) {
    HMODULE raw_only = LoadLibraryA("lmtest_rawonly_model");
    ASSERT_NE(raw_only, nullptr);
    auto bytes_seen = reinterpret_cast<DWORD (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(raw_only, "RawOnlyBytesSeen")));
    ASSERT_NE(bytes_seen, nullptr);
    monitor().queue_reply(filled(1500, 0x10));
    HANDLE port = open("USB001", raw_only);
    ASSERT_TRUE(start(port, 1));
    write(port, 1);
    ASSERT_TRUE(qortest::eventually([&] { return bytes_seen() == 1500; }));
    QORMonEndDocPort(port);
    ASSERT_TRUE(polling_ended(port));
    for (const auto& call : spooler().snapshot()) EXPECT_TRUE(call.rfind("status 16", 0) != 0) << call;
    close(port);
    FreeLibrary(raw_only);
}

TEST_F(LmPolling, ModelKeepPollingMarkKeepsTheThreadAfterTheJob) {
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 1));
    write(port, 1);
    qormon_set(record(port), QORMON_KEEP_POLLING_A);
    QORMonEndDocPort(port);
    const int reads = monitor().reads.load();
    ASSERT_TRUE(qortest::eventually([&] { return monitor().reads.load() >= reads + 2; }));
    EXPECT_TRUE(qormon_has(record(port), QORMON_THREAD_ALIVE));
    qormon_clear(record(port), QORMON_KEEP_POLLING_A);
    EXPECT_TRUE(polling_ended(port));
}

TEST_F(LmPolling, StatusGoesThroughItsOwnThreadOnTheConsumer40Line) {
    setenv("QOR_PLATFORM_VERSION", "4.0-9x", 1);
    monitor().queue_reply({0x18});
    HANDLE port = open("USB001", test_model());
    ASSERT_TRUE(start(port, 1));
    write(port, 1);
    ASSERT_TRUE(qortest::eventually([] { return spooler().count("status 24 level 0 command 4") == 1; }));
    QORMonEndDocPort(port);
    ASSERT_TRUE(polling_ended(port));
    unsetenv("QOR_PLATFORM_VERSION");
    // The status thread opened and closed a handle of its own.
    EXPECT_GE(spooler().count("close"), 2u);
}
