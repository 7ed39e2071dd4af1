#include "common/setting_reply.h"

#include <gtest/gtest.h>

#include <vector>

using qor::settings::parse_setting_reply;
using qor::settings::SettingBytes;

namespace {

bool parse(const std::vector<BYTE>& bytes, SettingBytes* settings) {
    return parse_setting_reply(bytes.data(), bytes.size(), settings);
}

}  // namespace

TEST(SettingReply, FactorySettingsOfTheProtocolPage) {
    SettingBytes settings{};
    ASSERT_TRUE(parse({0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C}, &settings));
    EXPECT_EQ(settings, (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
}

TEST(SettingReply, BytesAroundAndInsideTheReplyAreSkipped) {
    SettingBytes settings{};
    // A status-back frame first; 23 and a second 85 inside are not nibbles.
    ASSERT_TRUE(parse({0x10, 0x00, 0x00, 0x00, 85, 0x01, 0x23, 0x02, 0x03, 85, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09},
                      &settings));
    EXPECT_EQ(settings, (SettingBytes{0x21, 0x43, 0x65, 0x87}));
}

TEST(SettingReply, NoHeaderOrTooFewNibblesIsNoReply) {
    SettingBytes settings{1, 2, 3, 4};
    EXPECT_FALSE(parse({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}, &settings));
    EXPECT_FALSE(parse({85, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}, &settings));
    EXPECT_FALSE(parse({}, &settings));
    EXPECT_EQ(settings, (SettingBytes{1, 2, 3, 4}));
}
