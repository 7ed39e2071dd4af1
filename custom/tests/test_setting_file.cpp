#include "setting_file.h"

#include "qortest.h"

#include <gtest/gtest.h>

using namespace custom;

namespace {
std::optional<SettingBytes> parse(const std::string& data, FileRoute route) {
    return parse_setting_file(reinterpret_cast<const BYTE*>(data.data()), data.size(), route);
}
}  // namespace

TEST(CustomFile, SixBytesAfterTheMagic) {
    const std::string file = format_setting_file({0x18, 0x07, 0x00, 0xC8});
    EXPECT_EQ(file, std::string("SP\x18\x07\x00\xC8", 6));
    EXPECT_EQ(parse(file, FileRoute::Dialog), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_EQ(parse(file, FileRoute::Document), (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
}

TEST(CustomFile, SevenBytesOnlyTheDocumentRouteTakes) {
    const std::string file = std::string("SP\x01\x02\x03\x04\x05", 7);
    EXPECT_FALSE(parse(file, FileRoute::Dialog));
    EXPECT_EQ(parse(file, FileRoute::Document), (SettingBytes{1, 2, 3, 4}));
}

TEST(CustomFile, FiveBytesOrAnotherMagicNeitherRouteTakes) {
    for (FileRoute route : {FileRoute::Dialog, FileRoute::Document}) {
        EXPECT_FALSE(parse(std::string("SP\x01\x02\x03", 5), route));
        EXPECT_FALSE(parse(std::string("PS\x01\x02\x03\x04", 6), route));
        EXPECT_FALSE(parse("", route));
    }
    EXPECT_FALSE(parse_setting_file(nullptr, 6, FileRoute::Dialog));
}

TEST(CustomFile, MergeUnderTheSerialMask) {
    const SettingBytes current{0x05, 0x00, 0x00, 0x80};
    EXPECT_EQ(merge_under_mask(current, {0xFF, 0xFF, 0xFF, 0xFF}, {0xF8, 0xFF, 0xFF, 0x01}),
              (SettingBytes{0xFD, 0xFF, 0xFF, 0x81}));
    EXPECT_EQ(merge_under_mask(current, {0xFF, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0}), current);
}

TEST(CustomFile, WrittenFileReadsBackAndMissingFileIsNone) {
    const std::string path = qortest::sandbox() + "/a.dip";
    ASSERT_TRUE(write_setting_file(path, {9, 8, 7, 6}));
    auto data = read_file_head(path, 7);
    ASSERT_TRUE(data);
    EXPECT_EQ(parse(*data, FileRoute::Dialog), (SettingBytes{9, 8, 7, 6}));
    EXPECT_FALSE(read_file_head(qortest::sandbox() + "/none.dip", 7));
    EXPECT_FALSE(write_setting_file(qortest::sandbox() + "/no/such/folder.dip", {}));
}
