// docs/qorcil.md shows the example program the build compiles, word for word.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(CilDocs, TheExampleIsTheOneThatBuilds) {
    const std::string example = Slurp(QOR_SOURCE_DIR "/cil/examples/status_example.c");
    ASSERT_FALSE(example.empty());
    EXPECT_NE(Slurp(QOR_SOURCE_DIR "/docs/qorcil.md").find("```c\n" + example + "```"), std::string::npos);
}
