// The hive file format: what is written reads back to the same tree, people
// can read it, and damaged text is refused rather than half-read.
#include "registry_format.h"
#include "registry_limits.h"
#include "registry_names.h"

#include "qor/registry.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qor::registry;

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> out;
    for (int b : list) out.push_back(uint8_t(b));
    return out;
}

std::vector<uint8_t> utf16z(std::u16string_view text) {
    std::vector<uint8_t> out((text.size() + 1) * 2, 0);
    std::memcpy(out.data(), text.data(), text.size() * 2);
    return out;
}

void set(Key& key, std::u16string_view name, DWORD type, const std::vector<uint8_t>& data) {
    key.set_value(name, type, data.data(), data.size());
}

Key sample_tree() {
    Key root;
    bool created = false;
    Key& monitor = root.create({u"Software", u"QOR", u"ZEM", u"StatusMonitor"}, created);
    set(monitor, u"1", REG_DWORD, bytes({0x9A, 0x00, 0x40, 0x60}));
    set(monitor, u"Enable", REG_BINARY, bytes({1}));
    set(monitor, u"Text \"quoted\" \\ back", REG_SZ, utf16z(u"Caf\u00e9 \u65e5\u672c"));
    set(monitor, u"", REG_SZ, utf16z(u"default"));
    set(monitor, u"Expand", REG_EXPAND_SZ, utf16z(u"%HOME%\\x"));
    set(monitor, u"Multi", REG_MULTI_SZ, utf16z(std::u16string(u"a\0b\0", 4)));
    set(monitor, u"Line\u00e9", REG_SZ, utf16z(u"two\nlines"));
    set(monitor, u"Unterminated", REG_SZ, bytes({'a', 0}));
    set(monitor, u"ShortDword", REG_DWORD, bytes({1, 2}));
    set(monitor, u"Empty", REG_BINARY, {});
    set(monitor, u"Large", 0x12345678, std::vector<uint8_t>(300, 0xAB));
    root.create({u"Software", u"Empty Key ]"}, created);
    set(root, u"AtRoot", REG_DWORD, bytes({1, 0, 0, 0}));
    return root;
}

}  // namespace

TEST(RegistryFormat, EveryValueKindReadsBackToTheSameTree) {
    Key original = sample_tree();
    std::string text = serialize_hive(original, kRoot);
    Key parsed;
    std::string error;
    ASSERT_TRUE(parse_hive(text, kRoot, parsed, &error)) << error << "\n" << text;
    EXPECT_EQ(parsed, original);
    EXPECT_EQ(serialize_hive(parsed, kRoot), text);
}

TEST(RegistryFormat, WritesTheExportFormatPeopleCanRead) {
    std::string text = serialize_hive(sample_tree(), kRoot);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\QOR\\ZEM\\StatusMonitor]\n\"1\"=dword:6040009a\n"
                        "\"Enable\"=hex:01\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Text \\\"quoted\\\" \\\\ back\"=\"Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"ShortDword\"=hex(4):01,02\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Empty Key ]]\n"), std::string::npos);
    // Long data wraps onto indented continuation lines.
    EXPECT_NE(text.find(",\\\n  ab,ab"), std::string::npos);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
}

TEST(RegistryFormat, AcceptsHandEditedText) {
    const char* text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[hkey_current_user\\Software\\QOR]\r\n"
        "\"Count\" = DWORD:1f\r\n"
        "\"Bytes\"=hex:1, 2 ,\\\r\n"
        "    ff\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\qor]\r\n"
        "\"count\"=dword:20\r\n";
    Key root;
    std::string error;
    ASSERT_TRUE(parse_hive(text, kRoot, root, &error)) << error;
    const Key* key = root.find({u"software", u"QOR"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->name, u"QOR");
    ASSERT_EQ(key->values.size(), 2u);
    EXPECT_EQ(key->values[0].name, u"Count");  // first spelling kept, last data wins
    EXPECT_EQ(key->values[0].data, bytes({0x20, 0, 0, 0}));
    EXPECT_EQ(key->values[1].data, bytes({1, 2, 0xFF}));
    Key empty;
    EXPECT_TRUE(parse_hive("", kRoot, empty));
    EXPECT_TRUE(parse_hive("\n  \n", kRoot, empty));
    EXPECT_TRUE(parse_hive("REGEDIT4\n", kRoot, empty));
}

TEST(RegistryFormat, RefusesDamagedText) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::vector<std::string> damaged = {
        "garbage\n",
        "[HKEY_CURRENT_USER\\A]\n",                        // no header
        header + "\"v\"=dword:1\n",                         // value before any key
        header + "[HKEY_LOCAL_MACHINE\\A]\n",              // other hive
        header + "[HKEY_CURRENT_USER\\A\n",                // unterminated
        header + "[-HKEY_CURRENT_USER\\A]\n",
        header + "[HKEY_CURRENT_USER\\A\\\\B]\n",          // empty component
        header + "[HKEY_CURRENT_USERX]\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=-\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1g\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:123\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,,02\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex(:01\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"open\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"bad \\n escape\"\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v=dword:1\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"dword:1\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\" trailing\n",
        header + "[HKEY_CURRENT_USER\\A]\nstray\n",
    };
    for (const auto& text : damaged) {
        Key root;
        std::string error;
        EXPECT_FALSE(parse_hive(text, kRoot, root, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(root, Key{}) << "a refused file must not leave a partial tree: " << text;
    }
}

TEST(RegistryFormat, BoundsNamesDepthAndData) {
    const std::string header = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n";
    Key root;
    std::string deep = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER";
    for (size_t i = 0; i <= kMaxKeyDepth; ++i) deep += "\\k";
    EXPECT_FALSE(parse_hive(deep + "]\n", kRoot, root));
    EXPECT_FALSE(parse_hive(header.substr(0, header.size() - 3) + std::string(kMaxKeyNameChars + 1, 'k') + "]\n",
                            kRoot, root));
    EXPECT_FALSE(parse_hive(header + "\"" + std::string(kMaxValueNameChars + 1, 'v') + "\"=dword:1\n", kRoot, root));
    std::string big = header + "\"v\"=hex:";
    for (size_t i = 0; i <= kMaxValueBytes; ++i) big += "00,";
    EXPECT_FALSE(parse_hive(big + "\n", kRoot, root));
}

TEST(RegistryNames, CompareWithoutCaseAndSplitPaths) {
    EXPECT_TRUE(names_equal(u"StatusMonitor", u"STATUSMONITOR"));
    EXPECT_TRUE(names_equal(u"caf\u00e9", u"CAF\u00c9"));
    EXPECT_TRUE(names_equal(u"\u0436", u"\u0416"));
    EXPECT_FALSE(names_equal(u"a", u"b"));
    EXPECT_FALSE(names_equal(u"ab", u"a"));

    std::vector<std::u16string> parts;
    EXPECT_EQ(split_key_path(u"SOFTWARE\\QOR\\ZEM\\", parts), ERROR_SUCCESS);
    EXPECT_EQ(parts, (std::vector<std::u16string>{u"SOFTWARE", u"QOR", u"ZEM"}));
    EXPECT_EQ(split_key_path(u"", parts), ERROR_SUCCESS);
    EXPECT_TRUE(parts.empty());
    EXPECT_EQ(split_key_path(u"\\a", parts), ERROR_BAD_PATHNAME);
    EXPECT_EQ(split_key_path(u"a\\\\b", parts), ERROR_BAD_PATHNAME);
    EXPECT_EQ(split_key_path(u"a\nb", parts), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(split_key_path(std::u16string(kMaxKeyNameChars + 1, u'k'), parts), ERROR_INVALID_PARAMETER);
}
