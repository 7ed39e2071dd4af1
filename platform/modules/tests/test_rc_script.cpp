#include "qortest.h"
#include "rc_script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using Data = std::vector<unsigned char>;

std::string write(const std::string& name, const std::string& content) {
    std::string path = qortest::sandbox() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

qorrc::Output compile(const std::string& script, const std::string& name = "t.rc") {
    qorrc::Output output;
    try {
        qorrc::compile_script(write(name, script), {}, output);
    } catch (const qorrc::Failure& failure) {
        if (name != "bad.rc") ADD_FAILURE() << failure.message;
        throw;
    }
    return output;
}

std::string failure(const std::string& script) {
    try {
        compile(script, "bad.rc");
    } catch (const qorrc::Failure& failure) {
        return failure.message;
    }
    return "(compiled)";
}

const Data& find(const qorrc::Output& output, uint16_t type, uint16_t id) {
    for (const auto& resource : output.resources)
        if (resource.type.id == type && resource.name.id == id && resource.name.name.empty()) return resource.data;
    static const Data none;
    ADD_FAILURE() << "no resource " << type << "/" << id;
    return none;
}

uint32_t u16(const Data& d, size_t at) { return at + 1 < d.size() ? d[at] | d[at + 1] << 8 : 0xDEAD; }
uint32_t u32(const Data& d, size_t at) { return u16(d, at) | u16(d, at + 2) << 16; }

Data wide(const std::u16string& text) {
    Data bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST(BaseRcScript, DialogTemplateIsByteExact) {
    write("res.h", "#define IDD_SMALL 102\n#define IDC_OK 1000 // the button\n");
    auto out = compile("#include \"res.h\"\n#include <windows.h>\n"
                       "IDD_SMALL DIALOG 0, 0, 100, 50\nSTYLE DS_MODALFRAME | WS_POPUP\nCAPTION \"Hi\"\n"
                       "FONT 8, \"A\"\nBEGIN\n  PUSHBUTTON \"O\", IDC_OK, 1, 2, 30, 14, NOT WS_TABSTOP\nEND\n");
    const Data expected = {
        0xC0, 0x00, 0xC0, 0x80,  0, 0, 0, 0,  1, 0,  0, 0, 0, 0, 100, 0, 50, 0,  // DLGTEMPLATE
        0, 0,  0, 0,  'H', 0, 'i', 0, 0, 0,  8, 0, 'A', 0, 0, 0,  0, 0,         // menu, class, title, font, pad
        0x00, 0x00, 0x00, 0x50,  0, 0, 0, 0,  1, 0, 2, 0, 30, 0, 14, 0,  0xE8, 0x03,  // DLGITEMTEMPLATE
        0xFF, 0xFF, 0x80, 0x00,  'O', 0, 0, 0,  0, 0};
    EXPECT_EQ(expected, find(out, 5, 102));
}

TEST(BaseRcScript, DialogExItemsCarryClassesStylesAndIds) {
    auto out = compile(
        "7 DIALOGEX 10, 20, 200, 80, 55\nSTYLE DS_SETFONT | WS_POPUP | WS_CAPTION\nEXSTYLE WS_EX_TOOLWINDOW\n"
        "FONT 9, \"MS Sans Serif\", 700, 1, 0x80\nMENU 3\nBEGIN\n"
        "  EDITTEXT 1006, 5, 5, 40, 12, ES_NUMBER\n"
        "  CONTROL \"\", 1008, \"msctls_updown32\", UDS_SETBUDDYINT | UDS_AUTOBUDDY, 45, 5, 10, 12, 0, 99\n"
        "  LTEXT \"* 0.1 second.\", IDC_STATIC, 60, 7, 50, 8\n"
        "  CONTROL \"Go\", IDOK, \"Button\", BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 60, 50, 14\n"
        "  ICON 1, -1, 150, 5\nEND\n");
    const Data& d = find(out, 5, 7);
    ASSERT_GT(d.size(), 26u);
    EXPECT_EQ(1u, u16(d, 0));
    EXPECT_EQ(0xFFFFu, u16(d, 2));
    EXPECT_EQ(55u, u32(d, 4));            // help id
    EXPECT_EQ(0x80u, u32(d, 8));          // WS_EX_TOOLWINDOW
    EXPECT_EQ(0x80C00040u, u32(d, 12));   // style with DS_SETFONT
    EXPECT_EQ(5u, u16(d, 16));            // controls
    EXPECT_EQ(10u, u16(d, 18));
    EXPECT_EQ(80u, u16(d, 24));
    size_t at = 26;
    EXPECT_EQ(0xFFFFu, u16(d, at));  // menu 3 by number
    EXPECT_EQ(3u, u16(d, at + 2));
    EXPECT_EQ(0u, u16(d, at + 4));   // no class
    EXPECT_EQ(0u, u16(d, at + 6));   // no caption
    EXPECT_EQ(9u, u16(d, at + 8));
    EXPECT_EQ(700u, u16(d, at + 10));
    EXPECT_EQ(1u, d[at + 12]);
    EXPECT_EQ(0x80u, d[at + 13]);
    Data face = wide(u"MS Sans Serif");
    ASSERT_TRUE(std::equal(face.begin(), face.end(), d.begin() + static_cast<long>(at) + 14));
    at += 14 + face.size();
    at = (at + 3) & ~size_t{3};
    // EDITTEXT: default edit style plus ES_NUMBER
    EXPECT_EQ(0u, u32(d, at));
    EXPECT_EQ(0x50812000u, u32(d, at + 8));
    EXPECT_EQ(1006u, u32(d, at + 20));
    EXPECT_EQ(0xFFFFu, u16(d, at + 24));
    EXPECT_EQ(0x81u, u16(d, at + 26));
    EXPECT_EQ(0u, u16(d, at + 28));  // empty text
    EXPECT_EQ(0u, u16(d, at + 30));  // no creation data
    at = (at + 32 + 3) & ~size_t{3};
    // CONTROL with a class by name, extended style 0 and help id 99
    EXPECT_EQ(99u, u32(d, at));
    EXPECT_EQ(0x50000012u, u32(d, at + 8));
    EXPECT_EQ(1008u, u32(d, at + 20));
    Data updown = wide(u"msctls_updown32");
    ASSERT_TRUE(std::equal(updown.begin(), updown.end(), d.begin() + static_cast<long>(at) + 24));
    at += 24 + updown.size() + 2 + 2;
    at = (at + 3) & ~size_t{3};
    EXPECT_EQ(0x50020000u, u32(d, at + 8));  // LTEXT: SS_LEFT | WS_GROUP
    EXPECT_EQ(0xFFFFFFFFu, u32(d, at + 20));
    Data label = wide(u"* 0.1 second.");
    at += 28 + label.size() + 2;
    at = (at + 3) & ~size_t{3};
    EXPECT_EQ(0x50010001u, u32(d, at + 8));  // "Button" is the button atom
    EXPECT_EQ(0x80u, u16(d, at + 26));
    at += 28 + wide(u"Go").size() + 2;
    at = (at + 3) & ~size_t{3};
    EXPECT_EQ(0x50000003u, u32(d, at + 8));  // ICON: SS_ICON, size optional
    EXPECT_EQ(0x82u, u16(d, at + 26));
    EXPECT_EQ(0xFFFFu, u16(d, at + 28));  // icon by number
    EXPECT_EQ(1u, u16(d, at + 30));
    EXPECT_EQ(d.size(), at + 34);
}

TEST(BaseRcScript, MenuAndAcceleratorLayouts) {
    auto out = compile(
        "1 MENU\nBEGIN\n  POPUP \"&F\"\n  BEGIN\n    MENUITEM \"&O\", 10, CHECKED\n    MENUITEM SEPARATOR\n"
        "  END\n  MENUITEM \"&H\", 20, GRAYED HELP\nEND\n"
        "2 ACCELERATORS\nBEGIN\n  \"^C\", 5\n  VK_F1, 6, VIRTKEY, SHIFT\n  \"a\", 7, VIRTKEY, NOINVERT\nEND\n");
    const Data menu = {0, 0, 0, 0,  0x10, 0, '&', 0, 'F', 0, 0, 0,  0x08, 0, 10, 0, '&', 0, 'O', 0, 0, 0,
                       0x80, 0, 0, 0, 0, 0,  0x81, 0x40, 20, 0, '&', 0, 'H', 0, 0, 0};
    EXPECT_EQ(menu, find(out, 4, 1));
    const Data accelerators = {0, 0, 3, 0, 5, 0, 0, 0,  0x05, 0, 0x70, 0, 6, 0, 0, 0,  0x83, 0, 'A', 0, 7, 0, 0, 0};
    EXPECT_EQ(accelerators, find(out, 9, 2));
}

TEST(BaseRcScript, VersionRecordNodesAndLengths) {
    auto out = compile(
        "VS_VERSION_INFO VERSIONINFO\n FILEVERSION 1,0,1,0\n PRODUCTVERSION 1,2,3,4\n FILEFLAGSMASK 0x3fL\n"
        " FILEOS VOS_NT_WINDOWS32\n FILETYPE VFT_APP\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n"
        "    BLOCK \"040904b0\"\n    BEGIN\n      VALUE \"FileVersion\", \"1.01\\0\"\n    END\n  END\n"
        "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n");
    const Data& d = find(out, 16, 1);
    ASSERT_GT(d.size(), 92u);
    EXPECT_EQ(d.size(), u16(d, 0));
    EXPECT_EQ(52u, u16(d, 2));
    EXPECT_EQ(0xFEEF04BDu, u32(d, 40));
    EXPECT_EQ(0x00010000u, u32(d, 48));  // file version 1.0
    EXPECT_EQ(0x00010000u, u32(d, 52));  // .1.0
    EXPECT_EQ(0x00010002u, u32(d, 56));
    EXPECT_EQ(0x00030004u, u32(d, 60));
    EXPECT_EQ(0x3Fu, u32(d, 64));
    EXPECT_EQ(0x40004u, u32(d, 72));
    EXPECT_EQ(1u, u32(d, 76));
    size_t string_info = 92;
    EXPECT_EQ(1u, u16(d, string_info + 4));  // text node
    Data key = wide(u"StringFileInfo");
    ASSERT_TRUE(std::equal(key.begin(), key.end(), d.begin() + string_info + 6));
    size_t var_info = string_info + u16(d, string_info);
    var_info = (var_info + 3) & ~size_t{3};
    // The value: "1.01" with one terminator, counted in characters.
    Data value = wide(u"FileVersion");
    auto found = std::search(d.begin(), d.end(), value.begin(), value.end());
    ASSERT_NE(d.end(), found);
    size_t node = static_cast<size_t>(found - d.begin()) - 6;
    EXPECT_EQ(5u, u16(d, node + 2));
    EXPECT_EQ(6 + value.size() + 2 + wide(u"1.01").size(), u16(d, node));  // key padded to 32 bits
    // Translation: two 16-bit numbers, 4 bytes of binary value.
    Data translation = wide(u"Translation");
    found = std::search(d.begin() + static_cast<long>(var_info), d.end(), translation.begin(), translation.end());
    ASSERT_NE(d.end(), found);
    node = static_cast<size_t>(found - d.begin()) - 6;
    EXPECT_EQ(4u, u16(d, node + 2));
    EXPECT_EQ(0u, u16(d, node + 4));
    EXPECT_EQ(0x409u, u16(d, d.size() - 4));
    EXPECT_EQ(1200u, u16(d, d.size() - 2));
}

Data icon_file(uint32_t second_offset) {
    Data ico = {0, 0, 1, 0, 2, 0};
    auto entry = [&](uint8_t size, uint32_t bytes, uint32_t offset) {
        Data e = {size, size, 0, 0, 1, 0, 32, 0};
        for (int k = 0; k < 4; ++k) e.push_back(static_cast<unsigned char>(bytes >> (8 * k)));
        for (int k = 0; k < 4; ++k) e.push_back(static_cast<unsigned char>(offset >> (8 * k)));
        ico.insert(ico.end(), e.begin(), e.end());
    };
    entry(16, 3, 38);
    entry(32, 2, second_offset);
    ico.insert(ico.end(), {0xA1, 0xA2, 0xA3, 0xB1, 0xB2});
    return ico;
}

TEST(BaseRcScript, IconBecomesGroupAndNumberedImages) {
    Data ico = icon_file(41);
    write("app.ico", std::string(ico.begin(), ico.end()));
    auto out = compile("IDI_APP ICON \"app.ico\"\n5 ICON app.ico\n");
    EXPECT_EQ((Data{0xA1, 0xA2, 0xA3}), find(out, 3, 1));
    EXPECT_EQ((Data{0xB1, 0xB2}), find(out, 3, 2));
    EXPECT_EQ((Data{0xA1, 0xA2, 0xA3}), find(out, 3, 3));  // the second icon's images get new ids
    const Data& group = find(out, 14, 5);
    ASSERT_EQ(6u + 2 * 14, group.size());
    EXPECT_EQ(2u, u16(group, 4));
    EXPECT_EQ(16u, group[6]);
    EXPECT_EQ(3u, u32(group, 6 + 8));
    EXPECT_EQ(3u, u16(group, 6 + 12));
    EXPECT_EQ(4u, u16(group, 20 + 12));
    bool named = false;
    for (const auto& resource : out.resources) named = named || (resource.type.id == 14 && resource.name.name == "IDI_APP");
    EXPECT_TRUE(named);

    Data bad = icon_file(42);  // the second image runs past the end
    write("bad.ico", std::string(bad.begin(), bad.end()));
    EXPECT_NE(std::string::npos, failure("1 ICON bad.ico\n").find("bad.ico: image 2 lies outside the file"));
    write("short.ico", std::string("\0\0\1\0\5\0", 6));
    EXPECT_NE(std::string::npos, failure("1 ICON short.ico\n").find("cut short"));
}

TEST(BaseRcScript, StringTablesAndPreprocessing) {
    auto out = compile(
        "#define FIRST 1000\n#define SECOND (FIRST + 6)\n#ifdef FIRST\n#define LABEL \"kept\"\n#else\n"
        "#define LABEL \"dropped\"\n#endif\n#if 0\n garbage ( here\n#elif defined(SECOND) && !defined(NONE)\n"
        "#define CONT 1 + \\\n 2\n#endif\n/* a comment\n over lines */ STRINGTABLE DISCARDABLE\nBEGIN\n"
        "  FIRST, LABEL\n  SECOND \"Input the value ( 0<n<255 ). \"\n  CONT \"say \"\"hi\"\"\" L\"\\tthere\"\nEND\n");
    ASSERT_EQ(3u, out.strings.size());
    EXPECT_EQ(u"kept", out.strings[1000]);
    EXPECT_EQ(u"Input the value ( 0<n<255 ). ", out.strings[1006]);
    EXPECT_EQ(u"say \"hi\"\tthere", out.strings[3]);
}

TEST(BaseRcScript, ErrorsNameFileAndLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\n\n1 DIALOG 0, 0, 10, 10\nSTYLE WS_NOPE\nBEGIN\nEND\n", "bad.rc:4: unknown name WS_NOPE"},
        {"1 MENU\nBEGIN\n MENUITEM \"a\", 1\n", "missing END"},
        {"/* open\n\n", "bad.rc:1: comment without its end"},
        {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "bad.rc:4: string 1 given twice"},
        {"#include \"nowhere.h\"\n", "bad.rc:1: cannot find include file nowhere.h"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n WIDGET 1, 2\nEND\n", "bad.rc:3: unknown control statement WIDGET"},
        {"1 DIALOG 0, 0, 99999, 10\nBEGIN\nEND\n", "bad.rc:1: coordinate out of range"},
        {"1 ACCELERATORS\nBEGIN\n \"x\", 1, SHIFT\nEND\n", "need a VIRTKEY"},
        {"#if 1\n", "#if without #endif"},
        {"1 RCDATA missing.bin\n", "bad.rc:1: cannot find missing.bin"},
        {"0 DIALOG 0,0,1,1\nBEGIN\nEND\n", "bad.rc:1: resource number out of range"},
        {"STRINGTABLE\nBEGIN\n 5 \"open\nEND\n", "bad.rc:3: missing closing quote"},
        {"#define M M\n1 RCDATA BEGIN M END\n", "expands without end"},
    };
    for (const auto& [script, message] : cases) EXPECT_NE(std::string::npos, failure(script).find(message)) << failure(script);
}

TEST(BaseRcScript, DefaultStylesOfDialogsAndControls) {
    auto out = compile("1 DIALOG 0, 0, 10, 10\nCAPTION \"c\"\nBEGIN\n DEFPUSHBUTTON \"d\", 1, 0, 0, 5, 5\n"
                       " AUTOCHECKBOX \"a\", 2, 0, 0, 5, 5\n GROUPBOX \"g\", 3, 0, 0, 5, 5\n"
                       " LISTBOX 4, 0, 0, 5, 5, LBS_OWNERDRAWVARIABLE | WS_VSCROLL\n"
                       " COMBOBOX 5, 0, 0, 5, 5, CBS_DROPDOWNLIST\nEND\n");
    const Data& d = find(out, 5, 1);
    EXPECT_EQ(0x80C80000u, u32(d, 0));  // WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION, no font
    std::vector<uint32_t> styles;
    size_t at = 18 + 2 + 2 + 4;
    for (int k = 0; k < 5; ++k) {
        at = (at + 3) & ~size_t{3};
        styles.push_back(u32(d, at));
        at += 18 + 4;
        while (u16(d, at) != 0) at += 2;  // text
        at += 2 + 2;
    }
    EXPECT_EQ((std::vector<uint32_t>{0x50010001, 0x50010003, 0x50000007, 0x50A00021, 0x50010003}), styles);
}

}  // namespace
