#include "qor/strings.h"
#include "qortest.h"
#include "acp_text.h"
#include "qor/support/utf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::u16string to_wide(UINT page, const std::string& text, DWORD flags = 0) {
    int needed = MultiByteToWideChar(page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(needed > 0 ? needed : 0), u'\0');
    if (needed > 0) {
        EXPECT_EQ(needed, MultiByteToWideChar(page, flags, text.data(), int(text.size()), out.data(), needed));
    }
    return out;
}

std::string to_narrow(UINT page, const std::u16string& wide, BOOL* used_default = nullptr) {
    int needed = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, used_default);
    std::string out(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) {
        EXPECT_EQ(needed, WideCharToMultiByte(page, 0, wide.data(), int(wide.size()), out.data(), needed, nullptr, used_default));
    }
    return out;
}

TEST(BaseCodePage, AnsiPageComesFromEnvironment) {
    unsetenv("QOR_ACP");
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(437u, GetOEMCP());
    setenv("QOR_ACP", "932", 1);
    EXPECT_EQ(932u, GetACP());
    EXPECT_EQ(932u, GetOEMCP());
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    setenv("QOR_ACP", "1251", 1);  // not supported: the default stays
    EXPECT_EQ(1252u, GetACP());
    setenv("QOR_ACP", "950x", 1);
    EXPECT_EQ(1252u, GetACP());
}

TEST(BaseCodePage, Cp1252MapsEveryByteBothWays) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string wide = to_wide(1252, all);
    ASSERT_EQ(255u, wide.size());
    EXPECT_EQ(u'\u20AC', wide[0x80 - 1]);
    EXPECT_EQ(u'\u0081', wide[0x81 - 1]);  // holes stand for the C1 control
    EXPECT_EQ(u'\u0178', wide[0x9F - 1]);
    EXPECT_EQ(u'\u00E9', wide[0xE9 - 1]);
    EXPECT_EQ(all, to_narrow(1252, wide));
}

struct DoubleBytePage {
    UINT page;
    std::string sample;       // bytes in the page
    std::u16string expected;  // the same text in UTF-16
    BYTE lead;
    BYTE not_lead;
};

class BaseDoubleByte : public ::testing::TestWithParam<DoubleBytePage> {};

TEST_P(BaseDoubleByte, SampleTextRoundTrips) {
    const auto& p = GetParam();
    std::string text = "A" + p.sample + "z";
    std::u16string wide = to_wide(p.page, text);
    EXPECT_EQ(u"A" + p.expected + u"z", wide);
    BOOL used = TRUE;
    EXPECT_EQ(text, to_narrow(p.page, wide, &used));
    EXPECT_FALSE(used);
}

TEST_P(BaseDoubleByte, EveryDefinedPairRoundTrips) {
    const auto& p = GetParam();
    int pairs = 0;
    for (int lead = 0x81; lead < 0x100; ++lead) {
        if (!IsDBCSLeadByteEx(p.page, static_cast<BYTE>(lead))) continue;
        for (int trail = 0x40; trail < 0x100; ++trail) {
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            WCHAR unit = 0;
            if (MultiByteToWideChar(p.page, MB_ERR_INVALID_CHARS, bytes, 2, &unit, 1) != 1) continue;
            ++pairs;
            // Characters with two byte forms come back in the canonical one,
            // which must still mean the same character.
            char back[2] = {};
            ASSERT_EQ(2, WideCharToMultiByte(p.page, 0, &unit, 1, back, 2, nullptr, nullptr)) << lead << "," << trail;
            WCHAR again = 0;
            ASSERT_EQ(1, MultiByteToWideChar(p.page, 0, back, 2, &again, 1));
            ASSERT_EQ(unit, again);
        }
    }
    EXPECT_GT(pairs, 7000);
}

TEST_P(BaseDoubleByte, LeadBytesAndCharNext) {
    const auto& p = GetParam();
    EXPECT_TRUE(IsDBCSLeadByteEx(p.page, p.lead));
    EXPECT_FALSE(IsDBCSLeadByteEx(p.page, p.not_lead));
    EXPECT_FALSE(IsDBCSLeadByteEx(p.page, 'A'));
    setenv("QOR_ACP", std::to_string(p.page).c_str(), 1);
    std::string text = "a" + p.sample;
    const char* s = text.c_str();
    s = CharNextA(s);
    EXPECT_EQ(text.c_str() + 1, s);
    s = CharNextA(s);
    EXPECT_EQ(text.c_str() + 3, s);
    const char* end = text.c_str() + text.size();
    EXPECT_EQ(end, CharNextA(end));
    // A lead byte right before the terminator does not step past it.
    std::string dangling = "x";
    dangling.push_back(static_cast<char>(p.lead));
    EXPECT_EQ(dangling.c_str() + 2, CharNextA(dangling.c_str() + 1));
}

TEST_P(BaseDoubleByte, DanglingLeadByteIsInvalid) {
    const auto& p = GetParam();
    std::string text = "ab";
    text.push_back(static_cast<char>(p.lead));
    WCHAR out[8];
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, MultiByteToWideChar(p.page, MB_ERR_INVALID_CHARS, text.data(), 3, out, 8));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
    ASSERT_EQ(3, MultiByteToWideChar(p.page, 0, text.data(), 3, out, 8));
    EXPECT_EQ(u'?', out[2]);
    // A lead byte followed by ASCII that is no trail keeps the ASCII.
    std::string broken;
    broken.push_back(static_cast<char>(p.lead));
    broken += "\x01" "b";
    ASSERT_EQ(3, MultiByteToWideChar(p.page, 0, broken.data(), 3, out, 8));
    EXPECT_EQ(u'\x01', out[1]);
    EXPECT_EQ(u'b', out[2]);
}

TEST_P(BaseDoubleByte, PairIsNeverSplitByShortBuffer) {
    const auto& p = GetParam();
    char out[3] = {'#', '#', '#'};
    std::u16string wide = u"A" + p.expected.substr(0, 1);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, WideCharToMultiByte(p.page, 0, wide.data(), 2, out, 2, nullptr, nullptr));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ('#', out[1]);
    EXPECT_EQ(3, WideCharToMultiByte(p.page, 0, wide.data(), 2, out, 3, nullptr, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Pages, BaseDoubleByte,
    ::testing::Values(DoubleBytePage{932, "\x93\xFA\x96\x7B\x8C\xEA\xB1", u"\u65E5\u672C\u8A9E\uFF71", 0x81, 0xA1},
                      DoubleBytePage{949, "\xC7\xD1\xB1\xB9\xBE\xEE", u"\uD55C\uAD6D\uC5B4", 0xB0, 0x80},
                      DoubleBytePage{950, "\xA4\xA4\xA4\xE5", u"\u4E2D\u6587", 0xA4, 0x80}),
    [](const auto& page_info) { return "cp" + std::to_string(page_info.param.page); });

TEST(BaseConversion, SizesTerminatorsAndShortBuffers) {
    WCHAR wide[16];
    EXPECT_EQ(6, MultiByteToWideChar(1252, 0, "hello", -1, nullptr, 0));
    EXPECT_EQ(5, MultiByteToWideChar(1252, 0, "hello", 5, nullptr, 0));
    ASSERT_EQ(6, MultiByteToWideChar(1252, 0, "hello", -1, wide, 16));
    EXPECT_EQ(u"hello", std::u16string(wide));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, MultiByteToWideChar(1252, 0, "hello", -1, wide, 5));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    // Embedded zeros are text when the length is given.
    EXPECT_EQ(3, MultiByteToWideChar(1252, 0, "a\0b", 3, wide, 16));
    EXPECT_EQ(u'b', wide[2]);

    char narrow[16];
    EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 16, nullptr, nullptr));
    EXPECT_STREQ("abc", narrow);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 3, nullptr, nullptr));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
}

TEST(BaseConversion, UnmappableWideCharsTakeTheDefault) {
    char out[8];
    BOOL used = FALSE;
    ASSERT_EQ(3, WideCharToMultiByte(1252, 0, u"a\u4E2Db", 3, out, 8, nullptr, &used));
    EXPECT_EQ(std::string("a?b"), std::string(out, 3));
    EXPECT_TRUE(used);
    ASSERT_EQ(3, WideCharToMultiByte(1252, 0, u"a\u4E2Db", 3, out, 8, "*", &used));
    EXPECT_EQ(std::string("a*b"), std::string(out, 3));
    // A surrogate pair is one character and takes one default.
    ASSERT_EQ(3, WideCharToMultiByte(932, 0, u"a\U0001F600b", 4, out, 8, nullptr, &used));
    EXPECT_EQ(std::string("a?b"), std::string(out, 3));
    // 932 has no euro sign.
    ASSERT_EQ(1, WideCharToMultiByte(932, 0, u"\u20AC", 1, out, 8, nullptr, &used));
    EXPECT_TRUE(used);
}

TEST(BaseConversion, Utf8IllFormedInput) {
    WCHAR wide[8];
    // Overlong slash, a surrogate in UTF-8 and a stray continuation byte.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        SetLastError(qortest::kStaleError);
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, wide, 8)) << bad;
        EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
        int n = MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 8);
        ASSERT_GT(n, 1);
        EXPECT_EQ(u'\uFFFD', wide[0]);
    }
    ASSERT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", -1, wide, 8));
    EXPECT_EQ(u'\xD83D', wide[0]);
    EXPECT_EQ(u'\xDE00', wide[1]);
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", -1, wide, 2));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());

    char narrow[8];
    const WCHAR lone[] = {u'a', 0xD800, u'b'};
    ASSERT_EQ(5, WideCharToMultiByte(CP_UTF8, 0, lone, 3, narrow, 8, nullptr, nullptr));
    EXPECT_EQ(std::string("a\xEF\xBF\xBD" "b"), std::string(narrow, 5));
    SetLastError(qortest::kStaleError);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, narrow, 8, nullptr, nullptr));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
}

TEST(BaseConversion, BadArgumentsAreRejected) {
    WCHAR wide[8];
    char narrow[8];
    BOOL used;
    auto rejected = [](int result) {
        return result == 0 && GetLastError() == static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    };
    EXPECT_TRUE(rejected(MultiByteToWideChar(1252, 0, nullptr, -1, wide, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(1252, 0, "a", 0, wide, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(1252, 0, "a", -2, wide, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(1252, 0, "a", 1, nullptr, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(1252, 0x100, "a", 1, wide, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8)));
    EXPECT_TRUE(rejected(MultiByteToWideChar(12345, 0, "a", 1, wide, 8)));
    EXPECT_TRUE(rejected(WideCharToMultiByte(1252, 0, nullptr, -1, narrow, 8, nullptr, nullptr)));
    EXPECT_TRUE(rejected(WideCharToMultiByte(1252, 0, u"a", 1, narrow, -1, nullptr, nullptr)));
    EXPECT_TRUE(rejected(WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, u"a", 1, narrow, 8, nullptr, nullptr)));
    EXPECT_TRUE(rejected(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, "?", nullptr)));
    EXPECT_TRUE(rejected(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used)));
    EXPECT_FALSE(IsDBCSLeadByteEx(4242, 0x81));
}

TEST(BaseStringHelpers, CopyCompareAndConcatenate) {
    WCHAR buffer[8];
    EXPECT_EQ(buffer, lstrcpynW(buffer, u"printer", 5));
    EXPECT_EQ(u"prin", std::u16string(buffer));
    lstrcpyW(buffer, u"ab");
    lstrcatW(buffer, u"cd");
    EXPECT_EQ(4, lstrlenW(buffer));
    EXPECT_EQ(0, lstrlenW(nullptr));
    EXPECT_EQ(0, lstrcmpiW(u"QORCIL.DLL", u"qorcil.dll"));
    EXPECT_EQ(0, lstrcmpiW(u"\u00C9T\u00C9", u"\u00E9t\u00E9"));
    EXPECT_LT(lstrcmpW(u"ABC", u"abc"), 0);
    EXPECT_GT(lstrcmpiW(u"b", u"A"), 0);
    EXPECT_LT(lstrcmpW(nullptr, u"a"), 0);
    EXPECT_EQ(0, lstrcmpiA("Status", "STATUS"));
    EXPECT_NE(0, lstrcmpiA("Status", "STATUSX"));
    char narrow[8];
    lstrcpynA(narrow, "abcdefghij", 8);
    EXPECT_STREQ("abcdefg", narrow);
    EXPECT_EQ(nullptr, lstrcpyW(nullptr, u"x"));
}

TEST(BaseUtf, RoundTripsAndReplacesIllFormedUnits) {
    std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::u16string wide = qor::utf8_to_utf16(text);
    EXPECT_EQ(u"a\u00E9\u20AC\U0001F600", wide);
    EXPECT_EQ(text, qor::utf16_to_utf8(wide.c_str()));
    const char16_t lone[] = {u'x', 0xDC00, 0};
    EXPECT_EQ("x\xEF\xBF\xBD", qor::utf16_to_utf8(lone));
    EXPECT_EQ(u"\uFFFDz", qor::utf8_to_utf16("\xFFz"));
    setenv("QOR_ACP", "1252", 1);
    EXPECT_EQ("caf\xC3\xA9", qor::acp_to_utf8("caf\xE9"));
    EXPECT_EQ("caf\xE9", qor::utf8_to_acp("caf\xC3\xA9"));
}

}  // namespace
