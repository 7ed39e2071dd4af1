// Text layout: UTF-8 decoding into lines and wrapping at the page width.
#include "document.h"

#include <gtest/gtest.h>

namespace {

TEST(TextLayout, LinesTabsAndLineEnds) {
    EXPECT_EQ(SplitLines("a\r\nb\n\nc\n"), (std::vector<std::u16string>{u"a", u"b", u"", u"c"}));
    EXPECT_EQ(SplitLines("ab\tc"), (std::vector<std::u16string>{u"ab      c"}));
    EXPECT_EQ(SplitLines("\xEF\xBB\xBFhi"), (std::vector<std::u16string>{u"hi"}));
    EXPECT_EQ(SplitLines(""), (std::vector<std::u16string>{u""}));
}

TEST(TextLayout, Utf8IsDecodedAndBadBytesBecomeReplacements) {
    EXPECT_EQ(SplitLines("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), (std::vector<std::u16string>{u"é€😀"}));
    EXPECT_EQ(SplitLines("a\xFF" "b\xC3"), (std::vector<std::u16string>{u"a\uFFFDb\uFFFD"}));
    EXPECT_EQ(SplitLines("\xC0\xAF"), (std::vector<std::u16string>{u"\uFFFD"}));       // overlong
    EXPECT_EQ(SplitLines("\xED\xA0\x80"), (std::vector<std::u16string>{u"\uFFFD"}));   // surrogate
}

TEST(TextLayout, WrapPrefersSpacesAndNeverLosesText) {
    EXPECT_EQ(WrapLine(u"hello wide world", 11), (std::vector<std::u16string>{u"hello wide", u"world"}));
    EXPECT_EQ(WrapLine(u"abcdefghij", 4), (std::vector<std::u16string>{u"abcd", u"efgh", u"ij"}));
    EXPECT_EQ(WrapLine(u"", 4), (std::vector<std::u16string>{u""}));
    EXPECT_EQ(WrapLine(u"abc", 0), (std::vector<std::u16string>{u"a", u"b", u"c"}));
}

}  // namespace
