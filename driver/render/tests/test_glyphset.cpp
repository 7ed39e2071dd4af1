// The code page 932 glyph-set resource as the build generated it, and the
// loader's checks on a damaged one.
#include "glyphset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> resource() {
    std::ifstream in(QOR_GLYPHSET932_PATH, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Freed {
    void operator()(FD_GLYPHSET* set) const { EngFreeMem(set); }
};
using GlyphSet = std::unique_ptr<FD_GLYPHSET, Freed>;

HGLYPH handle_of(const FD_GLYPHSET* set, char16_t ch) {
    const WCRUN* runs = set->awcrun;
    for (ULONG i = 0; i < set->cRuns; ++i) {
        if (ch >= runs[i].wcLow && ch < runs[i].wcLow + runs[i].cGlyphs) return runs[i].phg[ch - runs[i].wcLow];
    }
    return HGLYPH_INVALID;
}

TEST(RenderGlyphSet932, HasItsFixedSize) {
    auto bytes = resource();
    ASSERT_EQ(bytes.size(), 63928u);
    ULONG header[4];
    std::memcpy(header, bytes.data(), sizeof(header));
    EXPECT_EQ(header[0], 33992u);
    EXPECT_EQ(header[1], 0u);
    EXPECT_EQ(header[2], 7484u);
    EXPECT_EQ(header[3], 4247u);
}

TEST(RenderGlyphSet932, MapsCharactersToTheirShiftJisCodes) {
    auto bytes = resource();
    GlyphSet set(GlyphSetFromResource(bytes.data(), bytes.size()));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->cGlyphsSupported, 7484u);
    EXPECT_EQ(set->cRuns, 4247u);
    EXPECT_EQ(handle_of(set.get(), u'A'), 0x41u);
    EXPECT_EQ(handle_of(set.get(), u'~'), 0x7Eu);
    EXPECT_EQ(handle_of(set.get(), u'\xFF61'), 0xA1u);
    EXPECT_EQ(handle_of(set.get(), u'\xFF9F'), 0xDFu);
    EXPECT_EQ(handle_of(set.get(), u'\x3000'), 0x8140u);
    EXPECT_EQ(handle_of(set.get(), u'\x3042'), 0x82A0u);
    EXPECT_EQ(handle_of(set.get(), u'\x4E00'), 0x88EAu);
    EXPECT_EQ(handle_of(set.get(), u'\xFFE5'), 0x818Fu);
    EXPECT_EQ(handle_of(set.get(), u'\x2170'), 0xFA40u);
    // Control characters, private use and characters without an exact code.
    EXPECT_EQ(handle_of(set.get(), u'\x0009'), HGLYPH_INVALID);
    EXPECT_EQ(handle_of(set.get(), u'\xE000'), HGLYPH_INVALID);
    EXPECT_EQ(handle_of(set.get(), u'\x00A5'), HGLYPH_INVALID);
}

TEST(RenderGlyphSet932, RunsPointAtConsecutiveHandleArrays) {
    auto bytes = resource();
    GlyphSet set(GlyphSetFromResource(bytes.data(), bytes.size()));
    ASSERT_TRUE(set);
    const WCRUN* runs = set->awcrun;
    const HGLYPH* expected = runs[0].phg;
    for (ULONG i = 0; i < set->cRuns; ++i) {
        ASSERT_EQ(runs[i].phg, expected) << "run " << i;
        expected += runs[i].cGlyphs;
    }
}

TEST(RenderGlyphSetResource, DamagedResourcesAreRefused) {
    auto bytes = resource();
    EXPECT_EQ(GlyphSetFromResource(bytes.data(), bytes.size() - 1), nullptr);
    EXPECT_EQ(GlyphSetFromResource(bytes.data(), 15), nullptr);
    EXPECT_EQ(GlyphSetFromResource(nullptr, 100), nullptr);
    auto wrong_count = bytes;
    wrong_count[8] ^= 1;  // characters no longer match the runs
    EXPECT_EQ(GlyphSetFromResource(wrong_count.data(), wrong_count.size()), nullptr);
    auto wrong_head = bytes;
    wrong_head[0] ^= 8;
    EXPECT_EQ(GlyphSetFromResource(wrong_head.data(), wrong_head.size()), nullptr);
    auto past_end = bytes;
    // The last run made to reach past U+FFFF.
    size_t last = 16 + 4246 * 8;
    past_end[last] = 0xFF;
    past_end[last + 1] = 0xFF;
    EXPECT_EQ(GlyphSetFromResource(past_end.data(), past_end.size()), nullptr);
}

}  // namespace
