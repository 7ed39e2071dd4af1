#include "qortest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string write(const std::string& name, const std::string& content) {
    std::string path = qortest::sandbox() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

int run_qorrc(std::vector<std::string> args) {
    return qortest::Child::spawn(qortest::bin_dir() + "/qorrc", args).wait();
}

TEST(BaseQorrc, GeneratesATableFromFilesAndStrings) {
    std::string out = qortest::sandbox() + "/out.cpp";
    std::string strings = write("ok.txt", "# comment\n\n5 \"tab\\there \\u00e9\"\r\n0x20 \"hex id\"\n");
    std::string blob = write("blob.bin", std::string("\0\1\2", 3));
    ASSERT_EQ(0, run_qorrc({"-o", out, "--rcdata", "7", blob, "--resource", "GlyphSet", "main", blob,
                            "--strings", strings}));
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("{10, 7, 3, nullptr, nullptr, resource_0}"));
    EXPECT_NE(std::string::npos, text.str().find("{0, 0, 3, \"GLYPHSET\", \"MAIN\", resource_1}"));
    EXPECT_NE(std::string::npos, text.str().find("{6, 1, "));  // strings 0-15
    EXPECT_NE(std::string::npos, text.str().find("{6, 3, "));  // string 0x20
    EXPECT_NE(std::string::npos, text.str().find("QorResources(void)"));
}

TEST(BaseQorrc, RejectsBadInputWithAnError) {
    std::string out = qortest::sandbox() + "/bad.cpp";
    std::string blob = write("b.bin", "x");
    const std::vector<std::vector<std::string>> bad = {
        {"--strings", write("dup.txt", "1 \"a\"\n1 \"b\"\n")},
        {"--strings", write("esc.txt", "1 \"\\q\"\n")},
        {"--strings", write("open.txt", "1 \"unterminated\n")},
        {"--strings", write("id.txt", "70000 \"too big\"\n")},
        {"--strings", write("utf.txt", "1 \"\xff\"\n")},
        {"--strings", write("tail.txt", "1 \"a\" b\n")},
        {"--rcdata", "bad-name", blob},
        {"--rcdata", "0", blob},
        {"--rcdata", "1", qortest::sandbox() + "/missing.bin"},
        {"--rcdata", "1", blob, "--rcdata", "1", blob},
        {"--resource", "RCDATA", "1"},
        {"--unknown"},
    };
    for (const auto& args : bad) {
        std::vector<std::string> full = {"-o", out};
        full.insert(full.end(), args.begin(), args.end());
        EXPECT_EQ(1, run_qorrc(full)) << args[0] << " " << args.back();
    }
    EXPECT_EQ(1, run_qorrc({"--rcdata", "1", blob}));  // no output named
}

TEST(BaseQorrc, ScriptsWithIncludeFoldersAndTheirErrors) {
    std::string dir = qortest::sandbox() + "/inc";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
    std::ofstream(dir + "/ids.h") << "#define IDS_ONE 1\n";
    std::string script = write("app.rc", "#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n IDS_ONE \"one\"\nEND\n");
    std::string out = qortest::sandbox() + "/app.cpp";
    EXPECT_EQ(1, run_qorrc({"-o", out, "--rc", script}));  // ids.h is only in the include folder
    ASSERT_EQ(0, run_qorrc({"-o", out, "--rc", script, "-I", dir}));
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("{6, 1, "));

    // A string given by a string list and by a script is given twice.
    std::string list = write("dup.txt", "1 \"also one\"\n");
    EXPECT_EQ(1, run_qorrc({"-o", out, "--strings", list, "--rc", script, "-I", dir}));

    std::string bad = write("broken.rc", "1 DIALOG 0, 0, 10, 10\nBEGIN\n PUSHBUTTON \"x\" 1, 0, 0\nEND\n");
    qortest::Output result = qortest::run(qortest::bin_dir() + "/qorrc", {"-o", out, "--rc", bad});
    EXPECT_EQ(1, result.status);
    EXPECT_NE(std::string::npos, result.err.find("broken.rc:4: expected a number, found END")) << result.err;
}

}  // namespace
