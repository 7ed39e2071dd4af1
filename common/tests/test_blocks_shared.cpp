#include "common/blocks_shared.h"
#include "common/status.h"

#include "qor/kernel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/wait.h>
#include <unistd.h>

using namespace qor;
using namespace qor::blocks;

namespace {

// Runs `body` in a forked child that then ends without any clean-up, as a
// killed process would.
template <class Body>
void in_child_that_dies(Body body) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
}

}  // namespace

TEST(LmSharedBlocks, ProbeTellsAMissingStatusBlockAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(probe_status_block(), Presence::Missing);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_FALSE(bool(open_status_block()));
    auto created = create_status_block(16);
    ASSERT_TRUE(bool(created));
    EXPECT_EQ(probe_status_block(), Presence::Present);
}

TEST(LmSharedBlocks, EveryMappingOfABlockSeesTheSameBytes) {
    auto writer = map_exchange_block(names::kReplyBlock);
    auto reader = map_exchange_block(names::kReplyBlock);
    ASSERT_TRUE(writer && reader);
    const BYTE bytes[] = {1, 2, 3};
    reply_append(*writer.as<ReplyBlock>(), bytes, sizeof bytes);
    EXPECT_EQ(reply_available(*reader.as<ReplyBlock>()), 3u);

    auto status = create_status_block(16);
    auto view = open_status_block();
    ASSERT_TRUE(status && view);
    write_status(*status.as<StatusBlock>(), status::kCoverOpen);
    DWORD word = 0;
    ASSERT_TRUE(read_status(*view.as<StatusBlock>(), &word));
    EXPECT_EQ(word, status::kCoverOpen);
}

TEST(LmSharedBlocks, BlocksWrittenByAnotherProcessArriveHere) {
    auto block = map_exchange_block(names::kDataBlock);
    ASSERT_TRUE(bool(block));
    in_child_that_dies([] {
        auto child_view = map_exchange_block(names::kDataBlock);
        BlockLock lock(names::kDataMutex);
        const BYTE bytes[] = {0x12, 0x74};
        if (lock.held()) data_stage(*child_view.as<DataBlock>(), bytes, sizeof bytes);
    });
    BlockLock lock(names::kDataMutex);
    ASSERT_TRUE(lock.held());
    const BYTE* staged = nullptr;
    ASSERT_EQ(data_staged(*block.as<DataBlock>(), &staged), 2u);
    EXPECT_EQ(staged[1], 0x74);
}

TEST(LmSharedBlocks, AMutexLeftByADeadProcessIsHeldOnlyWhereAbandonedCounts) {
    // Kept open here so the mutex outlives the child.
    HANDLE keep = CreateMutexA(nullptr, FALSE, names::kStatusMutex);
    ASSERT_NE(keep, nullptr);
    in_child_that_dies([] {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, names::kStatusMutex);
        WaitForSingleObject(mutex, INFINITE);  // never released
    });
    {
        BlockLock strict(names::kStatusMutex, 1000, false);
        EXPECT_FALSE(strict.held());
    }
    // The strict lock still gave the abandoned mutex back, so it is free now.
    {
        BlockLock lock(names::kStatusMutex, 1000, false);
        EXPECT_TRUE(lock.held());
    }
    in_child_that_dies([] {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, names::kStatusMutex);
        WaitForSingleObject(mutex, INFINITE);
    });
    {
        BlockLock lenient(names::kStatusMutex, 1000, true);
        EXPECT_TRUE(lenient.held());
    }
    CloseHandle(keep);
}
