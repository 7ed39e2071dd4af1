// Description files on disk: PPD_Init, and the two installed descriptions.
#include "test_ppd_support.h"

#include "qor/devmode.h"
#include "qor/kernel.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using ppdtest::DataFile;
using ppdtest::NewBlock;
using ppdtest::Wide;

namespace {

std::u16string WidePath(const std::filesystem::path& path) {
    return Wide(path.string());
}

std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
    auto path = std::filesystem::path(qortest::sandbox()) / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PpdFile, ParsesAFileLikeTheSameTextInMemory) {
    const std::string text =
        "DefBright=150\r\nNumBin=1\r\n\"Roll paper\";1\r\nName=\"QORCPDN7.DLL\"\r\n";
    auto path = WriteFile("small.ppd", text);
    auto fromFile = NewBlock();
    ASSERT_TRUE(PPD_Init(&fromFile->data, WidePath(path).c_str()));
    auto fromMemory = ppdtest::Parse(text);
    EXPECT_EQ(fromFile->data.DefBright, 150);
    EXPECT_EQ(std::memcmp(fromFile->bin, fromMemory->bin, sizeof(fromFile->bin)), 0);
    EXPECT_EQ(std::u16string(fromFile->data.Name), u"QORCPDN7.DLL");
}

TEST(PpdFile, FailsWhenTheFileCannotBeRead) {
    auto block = NewBlock();
    auto missing = std::filesystem::path(qortest::sandbox()) / "missing.ppd";
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(PPD_Init(&block->data, WidePath(missing).c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    auto empty = WriteFile("empty.ppd", "");
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(PPD_Init(&block->data, WidePath(empty).c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));

    EXPECT_FALSE(PPD_Init(&block->data, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(PPD_Init(nullptr, WidePath(empty).c_str()));
}

TEST(PpdFile, MapfileGivesTheWholeFileReadOnly) {
    auto path = WriteFile("map.ppd", "Show=1\r\n");
    LPVOID view = nullptr;
    LPVOID read = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(MAPFILE(WidePath(path).c_str(), &view, &read, &size));
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(view, read);
    EXPECT_EQ(std::memcmp(read, "Show=1\r\n", 8), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));

    ASSERT_TRUE(MAPFILE(WidePath(path).c_str(), &view, &read, nullptr));
    EXPECT_TRUE(UnmapViewOfFile(view));
}

// The installed descriptions -------------------------------------------------

class InstalledDescription : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        block_ = NewBlock();
        ASSERT_TRUE(PPD_Init(&block_->data, WidePath(DataFile(GetParam())).c_str()));
    }
    const PpdData& d() const { return block_->data; }
    std::unique_ptr<PpdBlock> block_;
};

TEST_P(InstalledDescription, IsCrLfTextWithinTheLineLimit) {
    std::string bytes = ReadBytes(DataFile(GetParam()));
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        std::string line = bytes.substr(start, end - start);
        EXPECT_LE(line.size(), static_cast<size_t>(PPD_MAX_LINE)) << line;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break: " << line;
        start = end + 2;
    }
}

TEST_P(InstalledDescription, HoldsEveryDefaultAndRange) {
    EXPECT_EQ(d().Show, 0xFFFu);
    EXPECT_EQ(d().DefPaper, PAPER_CODE_FALLBACK);
    EXPECT_EQ(d().DefOrient, DMORIENT_PORTRAIT);
    EXPECT_EQ(d().DefBright, 150);
    EXPECT_GE(d().DefDither, 1);
    EXPECT_LE(d().DefDither, 5);
    EXPECT_LE(d().DefDensity, 6);
    EXPECT_LE(d().MINBright, d().DefBright);
    EXPECT_GE(d().MAXBright, d().DefBright);
    EXPECT_GT(d().VALBright, 0);
    EXPECT_LE(d().MINDensity, d().DefDensity);
    EXPECT_GE(d().MAXDensity, d().DefDensity);
    EXPECT_GT(d().VALDensity, 0);
    EXPECT_GT(d().MINUserDef, 0);
    EXPECT_LE(d().MAXUserDef, 999);  // the length box takes three digits
    EXPECT_LT(d().MINUserDef, d().MAXUserDef);
    EXPECT_EQ(std::u16string(d().Name), u"QORCPDN7.DLL");
    EXPECT_EQ(std::u16string(d().UIName), u"QORCPUN7.DLL");
}

TEST_P(InstalledDescription, PapersCoverEveryWidthWithConsistentMetrics) {
    ASSERT_GT(d().NumPaper, 0);
    // The first paper is the default and the fallback.
    EXPECT_EQ(block_->paper[0].Code, d().DefPaper);
    std::set<WORD> codes;
    std::set<LONG> widths;
    for (int i = 0; i < d().NumPaper; i++) {
        const PaperMetrix& p = block_->paper[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(codes.insert(p.Code).second) << "duplicate code " << p.Code;
        EXPECT_NE(p.Code, PAPER_CODE_USER);
        EXPECT_NE(p.Name[0], 0);
        widths.insert(p.PaperWidth);
        EXPECT_EQ(p.AreaWidth, p.AreaWidthMM * 8);
        EXPECT_EQ(p.AreaLength, p.AreaLengthMM * 8);
        EXPECT_NEAR(p.PhysWidth, p.PaperWidth * 8, 4);
        EXPECT_EQ(p.PhysLength, p.PaperLength * 8);
        EXPECT_LE(p.AreaWidth, 832);  // the print head's width
        EXPECT_LE(2 * p.OffsetX + p.AreaWidth, p.PhysWidth);
        EXPECT_GE(p.OffsetX, 0);
        EXPECT_EQ(p.OffsetYLandscape, p.OffsetX);
        EXPECT_NE(p.Feed, PAPER_FEED_ROTATED);
    }
    EXPECT_TRUE(codes.count(PAPER_CODE_FALLBACK));
    EXPECT_EQ(widths, (std::set<LONG>{58, 60, 66, 76, 80, 83, 112}));
}

TEST_P(InstalledDescription, UserPresetsCoverEveryWidth) {
    ASSERT_GT(d().NumUserDef, 0);
    EXPECT_LT(d().DefUserPaper, d().NumUserDef);
    std::set<LONG> widths;
    for (int i = 0; i < d().NumUserDef; i++) {
        const PaperMetrix& p = block_->userdef[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.Code, PAPER_CODE_USER);
        widths.insert(p.PaperWidth);
        EXPECT_GE(p.PaperLength, d().MINUserDef);
        EXPECT_LE(p.PaperLength, d().MAXUserDef);
        // Lengths in dots as the custom paper box computes them.
        EXPECT_EQ(p.AreaLength, p.PaperLength * 2030 / 254);
        EXPECT_EQ(p.AreaWidth, p.AreaWidthMM * 8);
    }
    EXPECT_EQ(widths, (std::set<LONG>{58, 60, 66, 76, 80, 83, 112}));
}

TEST_P(InstalledDescription, SourcesAndKinds) {
    ASSERT_GT(d().NumBin, 0);
    EXPECT_EQ(block_->bin[0].Value, static_cast<WORD>(d().DefBin));
    std::set<WORD> kinds;
    for (int i = 0; i < d().NumKind; i++) kinds.insert(block_->kind[i].Value);
    EXPECT_TRUE(kinds.count(0));
    EXPECT_TRUE(kinds.count(1));  // fed to the black mark
    EXPECT_TRUE(kinds.count(2));  // page-mode area = printable size
    EXPECT_TRUE(kinds.count(d().DefKind));
}

// The page-mode memory limit agrees with the custom paper box: each width's
// longest page-mode length fits, one millimetre more does not (112 mm paper
// is held back by the box's own limit).
TEST_P(InstalledDescription, MaxMemoryMatchesPageModeLengthLimits) {
    struct Limit { LONG width; LONG longest; } limits[] = {
        {58, 431}, {60, 416}, {66, 377}, {76, 326}, {80, 326}, {83, 294}, {112, 223}};
    auto needed = [](LONG areaWidth, LONG areaLength) {
        return static_cast<DWORD>((areaWidth / 8 + 1) * areaLength + (areaLength / 8) * 5 + 71);
    };
    for (int i = 0; i < d().NumUserDef; i++) {
        const PaperMetrix& p = block_->userdef[i];
        for (const Limit& limit : limits) {
            if (limit.width != p.PaperWidth) continue;
            SCOPED_TRACE(limit.width);
            EXPECT_LE(needed(p.AreaWidth, limit.longest * 2030 / 254), d().MAXMemory);
            if (limit.width != 112) {
                EXPECT_GT(needed(p.AreaWidth, (limit.longest + 1) * 2030 / 254), d().MAXMemory);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, InstalledDescription,
                         ::testing::Values("qorn5001.ppd", "qorn5002.ppd"));

TEST(InstalledDescriptions, BothDriversSeeTheSamePapers) {
    auto render = NewBlock();
    auto ui = NewBlock();
    ASSERT_TRUE(PPD_Init(&render->data, WidePath(DataFile("qorn5001.ppd")).c_str()));
    ASSERT_TRUE(PPD_Init(&ui->data, WidePath(DataFile("qorn5002.ppd")).c_str()));
    // Everything but the table pointers agrees.
    EXPECT_EQ(std::memcmp(&render->data, &ui->data, offsetof(PpdData, pPaper)), 0);
    EXPECT_EQ(std::memcmp(render->paper, ui->paper, sizeof(render->paper)), 0);
    EXPECT_EQ(std::memcmp(render->userdef, ui->userdef, sizeof(render->userdef)), 0);
    EXPECT_EQ(std::memcmp(render->bin, ui->bin, sizeof(render->bin)), 0);
    EXPECT_EQ(std::memcmp(render->kind, ui->kind, sizeof(render->kind)), 0);
}

}  // namespace
