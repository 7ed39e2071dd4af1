#include "reply_decoder.h"

#include "common/status.h"

#include <gtest/gtest.h>

using namespace qor::model;
namespace st = qor::status;

TEST(ModelDecoder, RealtimeRepliesFollowTheProtocolExamples) {
    EXPECT_EQ(status_from_realtime({0x12, 0x12, 0x12, 0x12}), 0u);
    // Paper out: off line is explained by it, so only paper out is reported.
    EXPECT_EQ(status_from_realtime({0x1A, 0x32, 0x12, 0x72}), st::kPaperOut);
    EXPECT_EQ(status_from_realtime({0x1A, 0x12, 0x12, 0x12}), st::kOffline);
    EXPECT_EQ(status_from_realtime({0x1A, 0x16, 0x12, 0x12}), st::kCoverOpen);
    EXPECT_EQ(status_from_realtime({0x1A, 0x52, 0x7E, 0x1E}),
              st::kPaperJam | st::kCutterError | st::kFatalError | st::kAutoRecoverError | st::kPaperNearEnd);
}

TEST(ModelDecoder, StatusBackFramesMapEveryGroup) {
    const BYTE healthy[] = {0x10, 0, 0, 0};
    EXPECT_EQ(status_from_status_back(healthy), 0u);
    const BYTE paper_out[] = {0x18, 0, 0x0C, 0};
    EXPECT_EQ(status_from_status_back(paper_out), st::kPaperOut);
    const BYTE switched_off[] = {0x18, 0, 0, 0};
    EXPECT_EQ(status_from_status_back(switched_off), st::kOffline);
    const BYTE busy[] = {0x30, 0x6C, 0x03, 0x01};
    EXPECT_EQ(status_from_status_back(busy), st::kCoverOpen | st::kPaperJam | st::kCutterError | st::kFatalError |
                                                 st::kAutoRecoverError | st::kPaperNearEnd | st::kPrinting);
}

TEST(ModelDecoder, ScannerFindsTheLatestFrameAcrossChunksAndSkipsNoise) {
    ReplyScanner scanner;
    std::array<BYTE, 4> frame{};
    const BYTE first[] = {0xFF, 0x12, 0x55, 0x10, 0x00};  // noise, a real-time reply, a frame begun
    EXPECT_FALSE(scanner.scan(first, sizeof first, frame));
    const BYTE second[] = {0x0C, 0x00, 0x18, 0x00, 0x0C, 0x00};
    ASSERT_TRUE(scanner.scan(second, sizeof second, frame));
    EXPECT_EQ(frame, (std::array<BYTE, 4>{0x18, 0x00, 0x0C, 0x00}));
    const BYTE broken[] = {0x10, 0x80, 0x00, 0x00};  // a follow byte with bit 7 is no frame
    EXPECT_FALSE(scanner.scan(broken, sizeof broken, frame));
}

TEST(ModelDecoder, SplitTakesOnlyTheRepliesWanted) {
    const BYTE chunk[] = {0x55, 0x12, 0x01, 0x1A, 0x12};
    std::vector<BYTE> replies, rest;
    split_realtime(chunk, sizeof chunk, 2, replies, rest);
    EXPECT_EQ(replies, (std::vector<BYTE>{0x12, 0x1A}));
    EXPECT_EQ(rest, (std::vector<BYTE>{0x55, 0x01, 0x12}));
}
