// The command parser alone: what each command becomes, how bad input is
// skipped, and that the stream's split into pieces changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser.h"

namespace qoremu {
namespace {

using Bytes = std::vector<uint8_t>;

// Writes every event as text, so whole streams compare at once.
class Recorder : public CommandSink {
public:
    std::string log;
    void command(const Command& c) override {
        log += "op" + std::to_string(int(c.op));
        for (uint8_t a : c.arg) log += "," + std::to_string(a);
        if (!c.text.empty()) log += ",'" + c.text + "'";
        log += ";";
    }
    void character(uint16_t code, CharKind kind) override {
        log += "ch" + std::to_string(code) + "/" + std::to_string(int(kind)) + ";";
    }
    void raster_begin(const RasterHeader& h) override {
        log += "raster" + std::to_string(h.mode) + "," + std::to_string(h.bytes_per_row) + "," +
               std::to_string(h.rows) + ";";
    }
    void raster_data(const uint8_t* data, size_t size) override {
        // No separator: data arriving in pieces logs the same as in one.
        for (size_t i = 0; i < size; ++i) log += "d" + std::to_string(data[i]);
    }
};

// Feeds the stream in pieces of `piece` bytes, keeping unconsumed bytes the
// way the device's receive buffer does.
std::string parse(const Bytes& stream, size_t piece, ParserCounters* counters = nullptr) {
    Recorder recorder;
    Parser parser(&recorder);
    Bytes buffer;
    for (size_t at = 0; at < stream.size(); at += piece) {
        buffer.insert(buffer.end(), stream.begin() + long(at),
                      stream.begin() + long(std::min(stream.size(), at + piece)));
        size_t used;
        while (!buffer.empty() && (used = parser.step(buffer.data(), buffer.size())) > 0)
            buffer.erase(buffer.begin(), buffer.begin() + long(used));
    }
    if (counters) *counters = parser.counters();
    return recorder.log;
}

const Bytes kEverything = {
    0x1D, 0x61, 0x1E, 0x1B, 0x40, 0x13, 0x28, 0x28, 'Q', 'O', 'R', 0x29, 0x12, 0x3D, 0x01, 0x1D, 0x50, 0xCB, 0xCB,
    0x1D, 0x45, 0x13, 0x1B, 0x53, 0x1B, 0x21, 0x01, 0x1C, 0x43, 0x01, 0x1C, 0x21, 0x01, 0x1D, 0x4C, 0x00, 0x00,
    0x1D, 0x57, 0xD0, 0x01, 0x1B, 0x54, 0x00, 0x1B, 0x24, 0x10, 0x00, 0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02,
    0x00, 0x1B, 0x40, 0x10, 0x04, 0x1B, 0x4A, 0x20, 'H', 'i', 0x1C, 0x26, 0x88, 0xEA, 'A', 0xB1, 0x1C, 0x2E,
    0x0A, 0x1B, 0x4C, 0x12, 0x4F, 0x00, 0x1B, 0x57, 1, 2, 3, 4, 5, 6, 7, 8, 0x1D, 0x24, 0x18, 0x00, 0x1B, 0x0C,
    0x1D, 0x0C, 0x1D, 0x56, 0x00, 0x1D, 0x56, 0x42, 0x10, 0x1B, 0x53, 0x10, 0x04, 0x02, 0x12, 0x54, 0x32, 0x12,
    0x6B, 1, 2, 3, 4, 0x12, 0x6C, 0x00, 0x12, 0x71, 0x05, 0x12, 0x74, 0x12, 0x40, 0x1B, 0x64, 0x03, 0x09, 0x0D,
};

TEST(EmuParser, EveryCommandAndItsArguments) {
    std::string log = parse(kEverything, kEverything.size());
    // Spot checks of what the whole stream turned into.
    EXPECT_NE(log.find("op" + std::to_string(int(Op::StatusBack)) + ",30,"), std::string::npos);
    EXPECT_NE(log.find("'QOR'"), std::string::npos);
    EXPECT_NE(log.find("raster0,2,2;d27d64d16d4op"), std::string::npos) << "raster data is data, not commands";
    EXPECT_NE(log.find("ch35050/2;ch65/1;ch177/1;"), std::string::npos) << "kanji, then half-width in kanji mode";
    EXPECT_NE(log.find("op" + std::to_string(int(Op::PrintArea)) + ",1,2,3,4,5,6,7,8;"), std::string::npos);
    EXPECT_NE(log.find("op" + std::to_string(int(Op::FeedAndCut)) + ",66,16,"), std::string::npos);
    EXPECT_NE(log.find("op" + std::to_string(int(Op::WriteSettings)) + ",1,2,3,4,"), std::string::npos);
    ParserCounters counters;
    parse(kEverything, 1, &counters);
    EXPECT_EQ(counters.unknown, 0u);
    EXPECT_EQ(counters.malformed, 0u);
}

TEST(EmuParser, SplittingTheStreamChangesNothing) {
    std::string whole = parse(kEverything, kEverything.size());
    for (size_t piece : {1u, 2u, 3u, 5u, 7u, 13u})
        EXPECT_EQ(parse(kEverything, piece), whole) << "pieces of " << piece;
}

TEST(EmuParser, BadInputIsSkippedAndCounted) {
    ParserCounters c;
    // Unknown ESC, bad direction, zero-size area, bad cut mode, lone control
    // byte, unknown DC2, a raster image with a bad mode (its data skipped
    // whole), an unterminated identification, a lone Shift-JIS lead byte.
    Bytes bad = {0x1B, 0x99, 'a', 0x1B, 0x54, 0x09, 0x1B, 0x57, 0, 0, 0, 0, 0, 0, 1, 0, 0x1D, 0x56, 0x07, 0x01,
                 0x12, 0x99, 0x1D, 0x76, 0x30, 0x09, 0x01, 0x00, 0x02, 0x00, 0x1B, 0x40, 'b', 0x13, 0x28, 0x28, 0x01,
                 0x1C, 0x26, 0x88, 0x0A, 0x10, 0x04, 0x09};
    std::string log = parse(bad, bad.size(), &c);
    EXPECT_EQ(c.unknown, 4u);    // ESC 99, 01, DC2 99, the 01 after the broken DC3 ( (
    EXPECT_EQ(c.malformed, 7u);  // ESC T 9, ESC W, GS V 7, GS v mode 9, DC3 ( (, lone lead, DLE EOT 9
    EXPECT_EQ(log.find("op" + std::to_string(int(Op::Initialise))), std::string::npos) << "1B 40 was raster data";
    EXPECT_NE(log.find("ch97/0;"), std::string::npos);
    EXPECT_NE(log.find("ch98/0;"), std::string::npos);
    EXPECT_NE(log.find("ch40/0;"), std::string::npos) << "the byte after a broken DC3 ( is read afresh";
}

TEST(EmuParser, IdentificationIsBounded) {
    Bytes id = {0x13, 0x28, 0x28};
    for (int i = 0; i < 62; ++i) id.push_back('x');
    ParserCounters c;
    Bytes fits = id;
    fits.push_back(0x29);
    EXPECT_NE(parse(fits, 100, &c).find("'xxx"), std::string::npos);
    Bytes longer = id;
    longer.push_back('y');
    longer.push_back(0x29);
    parse(longer, 100, &c);
    EXPECT_EQ(c.malformed, 1u);
}

TEST(EmuParser, JisCodeSystemPairsPrintableBytes) {
    std::string log = parse({0x1C, 0x43, 0x00, 0x1C, 0x26, 0x30, 0x6C, 0x20, 0x1C, 0x2E, 0x30}, 1);
    EXPECT_NE(log.find("ch12396/2;ch32/1;"), std::string::npos) << log;
    EXPECT_NE(log.find("ch48/0;"), std::string::npos);
}

}  // namespace
}  // namespace qoremu
