#include "common/blocks.h"
#include "common/status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

using namespace qor::blocks;

namespace {

std::vector<BYTE> sequence(size_t count, BYTE first = 0) {
    std::vector<BYTE> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Blocks start as zeroed memory, as a fresh mapping does.
template <class Block>
std::unique_ptr<Block> fresh() {
    auto block = std::make_unique<Block>();
    std::memset(block.get(), 0, sizeof(Block));
    return block;
}

void expect_empty_reply(const ReplyBlock& block) {
    EXPECT_EQ(block.data_offset, 16u);
    EXPECT_EQ(block.block_size, 4112u);
    EXPECT_EQ(block.write_offset, 16u);
    EXPECT_EQ(block.read_offset, 16u);
}

}  // namespace

TEST(LmReplyBlock, FreshHeaderIsInitialisedBeforeTheFirstTake) {
    auto block = fresh<ReplyBlock>();
    BYTE out[8];
    EXPECT_EQ(reply_take(*block, out, sizeof out), 0u);
    expect_empty_reply(*block);
}

TEST(LmReplyBlock, BytesComeOutInArrivalOrderAcrossTakes) {
    auto block = fresh<ReplyBlock>();
    auto bytes = sequence(10);
    ASSERT_EQ(reply_append(*block, bytes.data(), 6), 6u);
    ASSERT_EQ(reply_append(*block, bytes.data() + 6, 4), 4u);
    BYTE out[4];
    ASSERT_EQ(reply_take(*block, out, 4), 4u);
    EXPECT_EQ(0, std::memcmp(out, bytes.data(), 4));
    EXPECT_EQ(reply_available(*block), 6u);
}

TEST(LmReplyBlock, ExactBufferLeavesOffsetsEqualLargerBufferResets) {
    auto block = fresh<ReplyBlock>();
    auto bytes = sequence(5, 1);
    reply_append(*block, bytes.data(), bytes.size());
    BYTE out[5];
    ASSERT_EQ(reply_take(*block, out, 5), 5u);
    EXPECT_EQ(block->read_offset, 21u);
    EXPECT_EQ(block->write_offset, 21u);

    reply_append(*block, bytes.data(), 3);
    BYTE big[16];
    ASSERT_EQ(reply_take(*block, big, sizeof big), 3u);
    EXPECT_EQ(0, std::memcmp(big, bytes.data(), 3));
    expect_empty_reply(*block);
    EXPECT_EQ(block->data[0], 0);
}

TEST(LmReplyBlock, AppendNeverWritesPastTheBlockAndReclaimsTakenSpace) {
    auto block = fresh<ReplyBlock>();
    auto bytes = sequence(5000);
    EXPECT_EQ(reply_append(*block, bytes.data(), bytes.size()), 4096u);
    EXPECT_EQ(block->write_offset, 4112u);
    EXPECT_EQ(reply_append(*block, bytes.data(), 1), 0u);

    std::vector<BYTE> out(100);
    ASSERT_EQ(reply_take(*block, out.data(), out.size()), 100u);
    BYTE tail[] = {0xAA, 0xBB};
    ASSERT_EQ(reply_append(*block, tail, 2), 2u);
    EXPECT_EQ(block->read_offset, 16u);
    EXPECT_EQ(reply_available(*block), 3998u);
    std::vector<BYTE> rest(3998);
    ASSERT_EQ(reply_take(*block, rest.data(), rest.size()), 3998u);
    EXPECT_EQ(rest[0], bytes[100]);
    EXPECT_EQ(rest[3995], bytes[4095]);
    EXPECT_EQ(rest[3996], 0xAA);
    EXPECT_EQ(rest[3997], 0xBB);
}

TEST(LmReplyBlock, CorruptHeadersAreResetNotTrusted) {
    const ReplyBlock corrupt[] = {
        {16, 4112, 9000, 16, {}},   // write past the end
        {16, 4112, 20, 30, {}},     // read after write
        {16, 4112, 20, 4, {}},      // read inside the header
        {16, 99, 20, 16, {}},       // wrong size
        {0xFFFFFFFF, 4112, 16, 16, {}},
    };
    for (const auto& bad : corrupt) {
        auto block = std::make_unique<ReplyBlock>(bad);
        EXPECT_FALSE(reply_header_valid(*block));
        BYTE out[4];
        EXPECT_EQ(reply_take(*block, out, sizeof out), 0u);
        expect_empty_reply(*block);
    }
}

TEST(LmDataBlock, StagingMoreThanTheAreaStagesExactly4096) {
    auto block = fresh<DataBlock>();
    auto bytes = sequence(5000);
    EXPECT_EQ(data_stage(*block, bytes.data(), bytes.size()), 4096u);
    EXPECT_EQ(block->data_offset, 16u);
    EXPECT_EQ(block->block_size, 4112u);
    const BYTE* staged = nullptr;
    ASSERT_EQ(data_staged(*block, &staged), 4096u);
    EXPECT_EQ(0, std::memcmp(staged, bytes.data(), 4096));
}

TEST(LmDataBlock, RestagingZeroesTheOldTailAndClearForgetsTheBytes) {
    auto block = fresh<DataBlock>();
    auto bytes = sequence(64, 1);
    data_stage(*block, bytes.data(), 64);
    data_stage(*block, bytes.data(), 2);
    EXPECT_EQ(block->data[2], 0);
    data_clear(*block);
    const BYTE* staged = nullptr;
    EXPECT_EQ(data_staged(*block, &staged), 0u);
}

TEST(LmDataBlock, CorruptCountIsNeverUsedAsALength) {
    auto block = fresh<DataBlock>();
    *block = DataBlock{16, 4112, 100000, 0, {}};
    const BYTE* staged = nullptr;
    EXPECT_EQ(data_staged(*block, &staged), 0u);
    EXPECT_EQ(block->staged_count, 0u);
    *block = DataBlock{0, 0, 7, 0, {}};
    EXPECT_TRUE(data_repair(*block));
    EXPECT_EQ(block->data_offset, 16u);
}

TEST(LmStatusBlock, WordIsReadableOnlyOnceValidAndNoConnectionToggles) {
    StatusBlock block{};
    DWORD word = 1;
    EXPECT_FALSE(read_status(block, &word));
    write_status(block, qor::status::kPaperOut);
    ASSERT_TRUE(read_status(block, &word));
    EXPECT_EQ(word, qor::status::kPaperOut);
    set_no_connection(block, true);
    EXPECT_EQ(block.control, qor::status::kControlValid | qor::status::kControlNoConnection);
    set_no_connection(block, false);
    EXPECT_EQ(block.control, qor::status::kControlValid);
}

TEST(LmStatusTexts, EveryPrinterBitHasItsMessage) {
    size_t count = 0;
    const auto* texts = qor::status::condition_texts(&count);
    DWORD all = 0;
    for (size_t i = 0; i < count; ++i) all |= texts[i].bit;
    EXPECT_EQ(all, qor::status::kAllPrinterBits);
    EXPECT_STREQ(qor::status::condition_text(qor::status::kPaperOut)->when_set, "The printer is out of paper.");
    EXPECT_EQ(qor::status::condition_text(qor::status::kManualFeed)->when_cleared, nullptr);
    EXPECT_EQ(qor::status::condition_text(0x4), nullptr);
}
