#include "hex.h"
#include "options.h"
#include "texts.h"

#include "qor/support/json.h"

#include "qorcil.h"

#include <gtest/gtest.h>

namespace {

CliOptions Parse(const std::vector<std::string>& args, bool ok = true) {
    CliOptions options;
    std::string error;
    EXPECT_EQ(ParseCommandLine(args, &options, &error), ok) << error;
    if (!ok) {
        EXPECT_FALSE(error.empty());
    }
    return options;
}

}  // namespace

TEST(QorcilOptions, CommandsAndTheirOptions) {
    auto status = Parse({"status", "-P", "ZEM", "--watch", "--interval=250", "--json"});
    EXPECT_EQ(status.command, CommandKind::Status);
    EXPECT_EQ(status.printer, "ZEM");
    EXPECT_TRUE(status.watch);
    EXPECT_EQ(status.interval_ms, 250u);
    EXPECT_TRUE(status.json);
    auto send = Parse({"send", "--hex", "1d 61 00", "--receive", "21"});
    EXPECT_EQ(send.hex, "1d 61 00");
    EXPECT_EQ(send.receive, 21u);
    EXPECT_EQ(Parse({"send", "-"}).file, "-");
    EXPECT_EQ(Parse({"receive", "--bytes", "21"}).bytes, 21u);
    EXPECT_EQ(Parse({"settings", "--printer=QOR ZEM-D"}).printer, "QOR ZEM-D");
    EXPECT_TRUE(Parse({"receive", "--help"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(QorcilOptions, MistakesAreRefused) {
    Parse({}, false);
    Parse({"print"}, false);
    Parse({"send"}, false);                             // nothing to send
    Parse({"send", "file", "--hex", "00"}, false);      // both
    Parse({"status", "--hex", "00"}, false);            // not a status option
    Parse({"receive", "--watch"}, false);
    Parse({"receive", "--receive", "4"}, false);
    Parse({"receive", "--bytes", "0"}, false);
    Parse({"receive", "--bytes", "4097"}, false);
    Parse({"status", "--interval", "10"}, false);
    Parse({"status", "-P"}, false);
    Parse({"status", "-P", ""}, false);
    Parse({"status", "--frobnicate"}, false);
    Parse({"status", "extra"}, false);
}

TEST(QorcilHex, BytesInTheUsualSpellings) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(ParseHexBytes("1d 61 1E", &bytes, &error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x1D, 0x61, 0x1E}));
    ASSERT_TRUE(ParseHexBytes("0x12,0x6c,0x00\n", &bytes, &error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x12, 0x6C, 0x00}));
    ASSERT_TRUE(ParseHexBytes("1d611e", &bytes, &error));
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_EQ(FormatHexBytes(bytes.data(), bytes.size()), "1d 61 1e");
    EXPECT_EQ(FormatHexBytes(nullptr, 0), "");
}

TEST(QorcilHex, HalfBytesAndOtherCharactersAreRefused) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ParseHexBytes("1d 6", &bytes, &error));
    EXPECT_FALSE(ParseHexBytes("1 d", &bytes, &error));
    EXPECT_FALSE(ParseHexBytes("1g", &bytes, &error));
    EXPECT_NE(error.find("'g'"), std::string::npos);
    EXPECT_FALSE(ParseHexBytes("  ", &bytes, &error));
    EXPECT_FALSE(ParseHexBytes("0x", &bytes, &error));
}

TEST(QorcilTexts, ConditionsResultsAndJson) {
    EXPECT_EQ(ConditionNames(QORCIL_STATUS_PAPER_OUT | QORCIL_STATUS_PAPER_NEAR_END),
              (std::vector<std::string>{"paper-out", "paper-near-end"}));
    EXPECT_TRUE(ConditionNames(0).empty());
    EXPECT_EQ(ConditionMessage("paper-out"), "The printer is out of paper.");
    EXPECT_EQ(ConditionMessage("printing"), "Printer is printing.");
    EXPECT_EQ(ResultMeaning(QORCIL_E_BUSY_ELSEWHERE), "a session is open elsewhere in the system");
    EXPECT_EQ(ResultMeaning(12345), "platform error 12345");
    EXPECT_EQ(qor::json_string("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
}
