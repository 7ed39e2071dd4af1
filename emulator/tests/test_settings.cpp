// The setting bytes, their factory values and the state file.
#include <gtest/gtest.h>

#include <fstream>

#include "qortest.h"
#include "settings.h"
#include "status.h"

namespace qoremu {
namespace {

TEST(EmuSettings, FactoryValuesOfBothModels) {
    EXPECT_EQ(factory_settings(Model::D510x).bytes, (SettingBytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_EQ(factory_settings(Model::D610x).bytes, (SettingBytes{0x18, 0x07, 0x06, 0xC8}));
    EXPECT_EQ(paper_width_dots(factory_settings(Model::D510x).bytes), 464);
    EXPECT_EQ(paper_width_dots(factory_settings(Model::D610x).bytes), 896);
    Model m;
    EXPECT_TRUE(parse_model("zem-d610x", &m));
    EXPECT_EQ(m, Model::D610x);
    EXPECT_FALSE(parse_model("D710x", &m));
}

TEST(EmuSettings, ReadReplyNibbles) {
    EXPECT_EQ(setting_read_reply({0x21, 0x43, 0x65, 0x87}),
              (std::vector<uint8_t>{0x55, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));
}

TEST(EmuSettings, StateFileRoundTripAndRejects) {
    Settings s = factory_settings(Model::D610x);
    s.bytes = {1, 2, 3, 4};
    s.collection_time = 9;
    std::string path = qortest::sandbox() + "/state";
    std::string error;
    ASSERT_TRUE(save_state(path, s, &error)) << error;
    Settings back;
    ASSERT_TRUE(load_state(path, &back));
    EXPECT_EQ(back.bytes, s.bytes);
    EXPECT_EQ(back.collection_time, 9);
    EXPECT_EQ(back.model, Model::D610x);

    auto good = encode_state(s);
    Settings untouched = factory_settings(Model::D510x);
    auto rejects = [&](std::vector<uint8_t> bytes) {
        Settings out = untouched;
        bool parsed = parse_state(bytes.data(), bytes.size(), &out);
        return !parsed && out.bytes == untouched.bytes;
    };
    EXPECT_TRUE(rejects({}));
    EXPECT_TRUE(rejects(std::vector<uint8_t>(good.begin(), good.end() - 1)));
    auto longer = good;
    longer.push_back(0);
    EXPECT_TRUE(rejects(longer));
    auto bad_magic = good;
    bad_magic[0] = 'X';
    EXPECT_TRUE(rejects(bad_magic));
    auto bad_model = good;
    bad_model[13] = 7;
    EXPECT_TRUE(rejects(bad_model));
    std::ofstream(path, std::ios::binary) << "garbage";
    EXPECT_FALSE(load_state(path, &back));
    EXPECT_FALSE(save_state(qortest::sandbox() + "/no/such/folder/state", s, &error));
}

TEST(EmuSettings, DeviceIdCarriesItsLength) {
    std::string id = device_id(Model::D610x);
    ASSERT_GE(id.size(), 2u);
    EXPECT_EQ(size_t(uint8_t(id[0]) << 8 | uint8_t(id[1])), id.size());
    EXPECT_NE(id.find("MDL:ZEM-D610x;"), std::string::npos);
}

}  // namespace
}  // namespace qoremu
