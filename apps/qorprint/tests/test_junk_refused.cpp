// Files that would print as junk are refused before any byte reaches the
// printer: exit status 2, a message naming the file, and an empty queue.
#include "e2e_fixture.h"

namespace {

using namespace e2e;

using JunkRefused = PrintStack;

TEST_F(JunkRefused, EachJunkFileIsRefusedNamingItAndNothingIsSent) {
    const long before = Stat("rx-bytes");
    std::string program(20000, '\0');
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>((i * 7919) & 0xFF);
    const std::string jpeg = EncodeJpeg(200, 200);
    ASSERT_GT(jpeg.size(), 2000u);
    std::string long_text;
    for (int i = 0; i < 1500; ++i) long_text += "line " + std::to_string(i) + "\n";  // 60 lines a page
    struct Case {
        std::string file, bytes, expected;
    };
    const std::vector<Case> cases = {
        {"program.txt", program, "not text"},
        {"latin1-controls.txt", std::string("caf\xE9\x01\x02 ok\n"), "control codes"},
        {"truncated.jpg", jpeg.substr(0, jpeg.size() / 2), "damaged JPEG"},
        {"empty.txt", "", "empty"},
        {"blank.txt", "\n \n\t\n", "no text"},
        {"text.png", "this is not a picture\n", "PNG"},
        {"long.txt", long_text, "--max-pages"},
    };
    for (const Case& c : cases) {
        const std::string path = WriteFile(c.file, c.bytes);
        const Outcome run = RunQorprint({"-q", "-P", printstack::kPrinter, "--paper", kPaper, path});
        EXPECT_EQ(run.status, 2) << c.file << ": " << run.errors;
        EXPECT_NE(run.errors.find(c.file), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(c.expected), std::string::npos) << c.file << ": " << run.errors;
    }
    EXPECT_TRUE(spooler_.wait_idle(printstack::kPrinter));
    EXPECT_EQ(Stat("rx-bytes"), before);
    // What was refused prints when it is asked for.
    EXPECT_EQ(Print({"--paper", kPaper, "--max-pages", "60", WriteFile("long.txt", long_text)}), 0);
    EXPECT_EQ(Print({"--paper", kPaper, "--raw-text", WriteFile("latin1-controls.txt", "caf\xE9\x01 ok\n")}), 0);
}

TEST_F(JunkRefused, TextInTheAnsiCodePageAndPicturesByContentPrint) {
    // Latin-1 text (code page 1252), and a PNG whatever its name says.
    const Outcome text = RunQorprint({"-q", "-P", printstack::kPrinter, "--paper", kPaper,
                                  WriteFile("latin1.txt", "Caf\xE9 cr\xE8me\n")});
    EXPECT_EQ(text.status, 0) << text.errors;
    std::vector<uint8_t> rgb(16 * 16 * 3, 0);
    const std::string png = WriteRgbPng("picture.data", 16, 16, rgb);
    const Outcome picture = RunQorprint({"-q", "-P", printstack::kPrinter, "--paper", kPaper, png});
    EXPECT_EQ(picture.status, 0) << picture.errors;
}

TEST_F(JunkRefused, UsageErrorsGiveAOneLineHintAndVersionAnswers) {
    const Outcome bad = RunQorprint({"--frobnicate", "x.txt"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.errors, "qorprint: unknown option --frobnicate\nTry 'qorprint --help' for the options.\n");
    const Outcome version = RunQorprint({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("qorprint ", 0), 0u) << version.output;
    EXPECT_EQ(version.errors, "");
}

}  // namespace
